#pragma once
// What the settings side drives on the About box: its texts in the chosen
// language. The About box implements it.

namespace kadrix {
class IniFile;
}

class AboutTexts {
public:
    // Every caption of the About box from the language's texts, the version
    // and build-date lines composed again around them.
    virtual void ApplyLanguage(const kadrix::IniFile& language) = 0;

protected:
    ~AboutTexts() = default;
};
