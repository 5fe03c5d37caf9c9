#pragma once
// Every text the program takes from a language file, by section and key. The
// windows read their texts through this one table, and the test of the
// shipped language files checks them against it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "localisation/IniFile.h"

namespace kadrix {

enum class InterfaceText : uint8_t {
    Main_Language,
    ProgramAlreadyRunning_Caption,
    ProgramAlreadyRunning_Text,
    UploadScreenshotOnServer_Caption,
    UploadScreenshotOnServer_ErrorUpload,
    UploadScreenshotOnServer_SuccessfulUpload,
    UploadScreenshotOnServer_NoHost,
    Hint_AllocateArea,
    Hint_DrawInArea,
    Hint_EraseDrawn,
    Hint_SaveScreenshot,
    Hint_CancelMakeScreenshot,
    PopupMenuTray_MakeScreenshot,
    PopupMenuTray_CopyInClipboard,
    PopupMenuTray_CopyInClipboard_LastURL,
    PopupMenuTray_CopyInClipboard_LastScreenshot,
    PopupMenuTray_OpenFolderWithScreenshots,
    PopupMenuTray_SettingsProgram,
    PopupMenuTray_AboutProgram,
    PopupMenuTray_Exit,
    SettingsProgram_Caption,
    SettingsProgram_Title,
    SettingsProgram_Description,
    SettingsProgram_Close,
    ParametersProgram_Caption,
    ParametersProgram_AutoRun,
    ParametersProgram_ShowHint,
    ParametersProgram_ShowSize,
    ParametersProgram_ShowLine,
    ParametersProgram_LanguageInterface,
    ParametersProgram_HotKey,
    ParametersScreenshot_Caption,
    ParametersScreenshot_PathSaveScreenshot,
    ParametersScreenshot_SelectDirectory,
    ParametersScreenshot_UploadOnServer,
    ParametersScreenshot_SaveInFile,
    ParametersScreenshot_FormatSaveInFile,
    AboutProgram_Caption,
    AboutProgram_NameProgram,
    AboutProgram_Version,
    AboutProgram_Bit,
    AboutProgram_DataBuild,
    AboutProgram_Author,
    AboutProgram_DescriptionProgram,
    AboutProgram_HomePage,
    AboutProgram_Close,
    CopyClipboardLastURL_Caption,
    CopyClipboardLastURL_Text,
    CopyClipboardLastScreenshot_Caption,
    CopyClipboardLastScreenshot_Text,
    Count
};

struct TextKey {
    std::u16string_view Section, Key;
};

inline constexpr std::u16string_view kParametersProgram = u"ProgramSettings->ParametersProgram";
inline constexpr std::u16string_view kParametersScreenshot = u"ProgramSettings->ParametersScreenshot";

// In the order of InterfaceText.
inline constexpr std::array<TextKey, static_cast<size_t>(InterfaceText::Count)> kInterfaceTexts = {{
    {u"Main", u"Language"},
    {u"ProgramAlreadyRunning", u"Caption"},
    {u"ProgramAlreadyRunning", u"Text"},
    {u"UploadScreenshotOnServer", u"Caption"},
    {u"UploadScreenshotOnServer", u"ErrorUpload"},
    {u"UploadScreenshotOnServer", u"SuccessfulUpload"},
    {u"UploadScreenshotOnServer", u"NoHost"},
    {u"Hint", u"AllocateArea"},
    {u"Hint", u"DrawInArea"},
    {u"Hint", u"EraseDrawn"},
    {u"Hint", u"SaveScreenshot"},
    {u"Hint", u"CancelMakeScreenshot"},
    {u"PopupMenuTray", u"MakeScreenshot"},
    {u"PopupMenuTray", u"CopyInClipboard"},
    {u"PopupMenuTray", u"CopyInClipboard_LastURL"},
    {u"PopupMenuTray", u"CopyInClipboard_LastScreenshot"},
    {u"PopupMenuTray", u"OpenFolderWithScreenshots"},
    {u"PopupMenuTray", u"SettingsProgram"},
    {u"PopupMenuTray", u"AboutProgram"},
    {u"PopupMenuTray", u"Exit"},
    {u"SettingsProgram", u"Caption"},
    {u"SettingsProgram", u"Title"},
    {u"SettingsProgram", u"Description"},
    {u"SettingsProgram", u"Close"},
    {kParametersProgram, u"Caption"},
    {kParametersProgram, u"AutoRun"},
    {kParametersProgram, u"ShowHint"},
    {kParametersProgram, u"ShowSize"},
    {kParametersProgram, u"ShowLine"},
    {kParametersProgram, u"LanguageInterface"},
    {kParametersProgram, u"HotKey"},
    {kParametersScreenshot, u"Caption"},
    {kParametersScreenshot, u"PathSaveScreenshot"},
    {kParametersScreenshot, u"SelectDirectory"},
    {kParametersScreenshot, u"UploadOnServer"},
    {kParametersScreenshot, u"SaveInFile"},
    {kParametersScreenshot, u"FormatSaveInFile"},
    {u"AboutProgram", u"Caption"},
    {u"AboutProgram", u"NameProgram"},
    {u"AboutProgram", u"Version"},
    {u"AboutProgram", u"Bit"},
    {u"AboutProgram", u"DataBuild"},
    {u"AboutProgram", u"Author"},
    {u"AboutProgram", u"DescriptionProgram"},
    {u"AboutProgram", u"HomePage"},
    {u"AboutProgram", u"Close"},
    {u"CopyClipboardLastURL", u"Caption"},
    {u"CopyClipboardLastURL", u"Text"},
    {u"CopyClipboardLastScreenshot", u"Caption"},
    {u"CopyClipboardLastScreenshot", u"Text"},
}};

constexpr const TextKey& KeyOf(InterfaceText text) { return kInterfaceTexts[static_cast<size_t>(text)]; }

// The text as the file holds it; empty when the section or the key is missing.
std::u16string ReadText(const IniFile& language, InterfaceText text);

// A message text: "</br>" turned into line breaks.
std::u16string ReadMessageText(const IniFile& language, InterfaceText text);

}  // namespace kadrix
