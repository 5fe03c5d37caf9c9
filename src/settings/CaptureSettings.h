#pragma once
// The settings a capture reads, at the moment it needs them. The settings
// window implements this; its controls stay the only copy of the settings.
#include <string>

#include "localisation/IniFile.h"

class CaptureSettings {
public:
    virtual bool GetSaveInFile() const = 0;
    virtual std::wstring GetSavePath() const = 0;
    virtual int GetFormatSaveInFile() const = 0;
    virtual bool GetShowLine() const = 0;
    virtual bool GetShowSize() const = 0;
    virtual bool GetFormHint() const = 0;
    virtual bool GetUploadOnServer() const = 0;
    // The upload service as Settings.ini names it now ([Upload] Host); empty
    // when none is set. The program never writes that key.
    virtual std::wstring GetUploadHost() const = 0;
    // The language file the interface texts come from.
    virtual kadrix::IniFile GetLanguage() const = 0;

protected:
    ~CaptureSettings() = default;
};
