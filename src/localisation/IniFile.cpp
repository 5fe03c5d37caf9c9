#include "localisation/IniFile.h"

#include <algorithm>

namespace kadrix {

namespace {

char16_t FoldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;                 // Latin-1
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;               // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                             // Cyrillic А-Я
    if (c >= 0x400 && c <= 0x40F) return c + 80;                             // Ѐ-Џ
    return c;
}

// Latin Extended-A pairs upper and lower case as even/odd code points, except
// in two runs where the upper-case letter sits on the odd code point.
char16_t FoldLatinExtended(char16_t c) {
    if (c < 0x100 || c > 0x17F || c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddUpper) return (c & 1) ? c + 1 : c;
    return (c & 1) ? c : c + 1;
}

char16_t Fold(char16_t c) {
    if (c >= 0x100 && c <= 0x17F) return FoldLatinExtended(c);
    return FoldCase(c);
}

// Names equal without regard to case have equal folded forms, so they hash alike.
uint64_t FoldedHash(std::u16string_view name) {
    uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
    for (char16_t c : name) h = (h ^ Fold(c)) * 0x100000001b3ull;
    h ^= h >> 33;  // spread the high bits into the low ones that pick the slot
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

constexpr uint64_t kPositionMask = 0xFFFFFFFFull;

std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

std::u16string_view TrimControl(std::u16string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] <= u' ') ++begin;
    while (end > begin && text[end - 1] <= u' ') --end;
    return text.substr(begin, end - begin);
}

IniFile IniFile::Parse(std::u16string_view text) {
    IniFile ini;
    IniSection* current = nullptr;
    for (auto raw : SplitLines(text)) {
        const auto line = TrimControl(raw);
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
            const auto name = TrimControl(line.substr(1, line.size() - 2));
            current = ini.FindSection(name);
            if (!current) current = &ini.AddSection(name);
            continue;
        }
        if (!current) continue;
        const auto eq = line.find(u'=');
        if (eq == std::u16string_view::npos) {
            current->Lines.push_back(IniLine{std::u16string(line), {}, false});
        } else {
            current->Lines.push_back(IniLine{std::u16string(TrimControl(line.substr(0, eq))),
                                             std::u16string(TrimControl(line.substr(eq + 1))), true});
        }
    }
    return ini;
}

IniSection* IniFile::FindSection(std::u16string_view name) {
    if (index_.empty()) return nullptr;
    const uint64_t hash = FoldedHash(name);
    const size_t mask = index_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint64_t entry = index_[slot];
        if (entry == 0) return nullptr;
        if ((entry >> 32) != (hash >> 32)) continue;
        IniSection& section = sections_[(entry & kPositionMask) - 1];
        if (EqualsIgnoreCase(section.Name, name)) return &section;
    }
}

void IniFile::PlaceInIndex(uint64_t hash, size_t position) {
    const size_t mask = index_.size() - 1;
    size_t slot = hash & mask;
    while (index_[slot] != 0) slot = (slot + 1) & mask;
    index_[slot] = (hash & ~kPositionMask) | (position + 1);
}

IniSection& IniFile::AddSection(std::u16string_view name) {
    // At most half full, so a search ends at an empty slot after a few probes.
    if ((sections_.size() + 1) * 2 > index_.size()) {
        index_.assign(std::max<size_t>(16, index_.size() * 2), 0);
        for (size_t i = 0; i < sections_.size(); ++i) PlaceInIndex(FoldedHash(sections_[i].Name), i);
    }
    PlaceInIndex(FoldedHash(name), sections_.size());
    sections_.push_back(IniSection{std::u16string(name), {}});
    return sections_.back();
}

const IniSection* IniFile::FindSection(std::u16string_view name) const {
    return const_cast<IniFile*>(this)->FindSection(name);
}

const std::u16string* IniFile::Find(std::u16string_view section, std::u16string_view key) const {
    const auto* s = FindSection(section);
    if (!s) return nullptr;
    for (const auto& line : s->Lines) {
        if (line.IsEntry && EqualsIgnoreCase(line.Key, key)) return &line.Value;
    }
    return nullptr;
}

std::u16string IniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view defaultValue) const {
    const auto* value = Find(section, key);
    return std::u16string(value ? std::u16string_view(*value) : defaultValue);
}

void IniFile::WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    auto* s = FindSection(section);
    if (!s) s = &AddSection(section);
    for (auto& line : s->Lines) {
        if (line.IsEntry && EqualsIgnoreCase(line.Key, key)) {
            line.Value = value;
            return;
        }
    }
    s->Lines.push_back(IniLine{std::u16string(key), std::u16string(value), true});
}

std::u16string IniFile::Serialize() const {
    std::u16string out;
    for (const auto& section : sections_) {
        out += u'[';
        out += section.Name;
        out += u"]\r\n";
        for (const auto& line : section.Lines) {
            out += line.Key;
            if (line.IsEntry) {
                out += u'=';
                out += line.Value;
            }
            out += u"\r\n";
        }
        out += u"\r\n";
    }
    return out;
}

}  // namespace kadrix
