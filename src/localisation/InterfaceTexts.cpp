#include "localisation/InterfaceTexts.h"

#include "localisation/LineBreakMarkup.h"

namespace kadrix {

std::u16string ReadText(const IniFile& language, InterfaceText text) {
    const TextKey& key = KeyOf(text);
    return language.ReadString(key.Section, key.Key, u"");
}

std::u16string ReadMessageText(const IniFile& language, InterfaceText text) {
    return ReplaceLineBreakMarkup(ReadText(language, text));
}

}  // namespace kadrix
