#include "settings/Shortcut.h"

#include "settings/SettingsFile.h"

namespace kadrix {

std::u16string ShortcutText(int32_t modifier, char16_t key) {
    std::u16string text = modifier == kModifierAlt ? u"Alt+" : modifier == kModifierCtrl ? u"Ctrl+" : u"Shift+";
    text += key;
    return text;
}

}  // namespace kadrix
