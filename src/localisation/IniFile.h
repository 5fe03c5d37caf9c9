#pragma once
// The INI text format shared by Settings.ini and the language files.
//
// Lines are trimmed of every character up to and including the space; blank
// lines and ";" comments are skipped; "[name]" opens a section; inside a
// section "key=value" is an entry (split at the first "="), and a line without
// "=" is kept as it is so that a rewrite does not lose it. Lines before the
// first section are dropped. Names are compared without regard to case.
// When a section or a key occurs twice, the first occurrence is the one that
// is read and replaced; a repeated section continues the first one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kadrix {

struct IniLine {
    std::u16string Key;    // the whole trimmed line when IsEntry is false
    std::u16string Value;
    bool IsEntry = true;
};

struct IniSection {
    std::u16string Name;
    std::vector<IniLine> Lines;
};

class IniFile {
public:
    static IniFile Parse(std::u16string_view text);

    // Null when the section or the key is missing.
    const std::u16string* Find(std::u16string_view section, std::u16string_view key) const;
    std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view defaultValue) const;

    // Replaces the value in place, or appends the key at the end of its
    // section, or appends the section at the end of the file.
    void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);

    // "[name]" CR LF, the section's lines, an empty line; for each section.
    std::u16string Serialize() const;

    const std::vector<IniSection>& Sections() const { return sections_; }

private:
    IniSection* FindSection(std::u16string_view name);
    const IniSection* FindSection(std::u16string_view name) const;
    IniSection& AddSection(std::u16string_view name);
    void PlaceInIndex(uint64_t hash, size_t position);

    std::vector<IniSection> sections_;
    // Open-addressing index of sections_ by case-folded name: each slot holds
    // the name's hash in its upper half and position + 1 in its lower half,
    // 0 when empty. Without it every header searched all earlier sections and
    // a file of headers took minutes; a flat table keeps large files cache-friendly.
    std::vector<uint64_t> index_;
};

// Compares letters of the Latin, Greek and Cyrillic alphabets without regard to case.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// Strips every character with a code up to and including 32 from both ends.
std::u16string_view TrimControl(std::u16string_view text);

}  // namespace kadrix
