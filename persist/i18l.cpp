#include "persist/i18l.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/textutil.h"

I18lc I18l;
I18lc_str_class I18lcStrings;
std::vector<std::string> localiztionfiles;

void I18lc::SetFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = path;
}

std::string I18lc::File() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_;
}

void I18lc::SetSection(const std::string& section) {
    std::lock_guard<std::mutex> lock(mutex_);
    section_ = section;
}

std::string I18lc::Section() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return section_;
}

std::string I18lc::get(const std::string& key) {
    return get(Section(), key);
}

std::string I18lc::get(const std::string& section, const std::string& key) const {
    return GetProfileString(section, key, key + " ?", File(), kLanguageValueLimit);
}

std::string LanguageFileKey(const std::string& text) {
    std::string key = text;
    repleaceall(key, "\n", "\\n");
    return key;
}

std::string I18lc::text(const std::string& section, const std::string& key) const {
    std::string value =
        GetProfileString(section, LanguageFileKey(key), key, File(), kLanguageValueLimit);
    repleaceall(value, "\\n", "\n");
    return value;
}

std::string I18lc::getString(const std::string& key) {
    SetSection("Strings");
    return get("Strings", key);
}

void I18lc::SetMenu(MenuModel* model, const std::string& menu) {
    std::lock_guard<std::mutex> lock(mutex_);
    model_ = model;
    menu_ = menu;
    menuSection_ = section_;
    position_ = 0;
}

void I18lc::SetMenu(MenuModel* model, const std::string& menu, const std::string& section) {
    std::lock_guard<std::mutex> lock(mutex_);
    model_ = model;
    menu_ = menu;
    section_ = section;
    menuSection_ = section;
    position_ = 0;
}

void I18lc::renameMenu(const std::string& key) {
    std::string section;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        section = menuSection_;
    }
    std::string text = get(section, key);
    std::lock_guard<std::mutex> lock(mutex_);
    if (model_ != nullptr)
        model_->SetItemText(menu_, position_, text);
    ++position_;
}

void I18lc::opuscMenu() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++position_;
}

int I18lc::Position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return position_;
}

std::vector<std::string> FindLanguageFiles(const std::string& folder) {
    return RegularFileNamesIn(folder, [](const std::string& name) {
        return name.size() > 4 && name.compare(name.size() - 4, 4, ".ini") == 0;
    });
}

std::vector<LanguageMenuItem> LanguageMenuItems(const std::vector<std::string>& files) {
    std::vector<LanguageMenuItem> items;
    for (size_t i = files.size(); i-- > 0;) {
        int command = i < static_cast<size_t>(kMaxLanguageCommands)
                          ? kFirstLanguageCommand + static_cast<int>(i)
                          : 0;
        items.push_back({files[i], command});
    }
    return items;
}

void SetLangFile(const std::string& name) {
    std::string stored = name.substr(0, 498);
    WritePrivateProfileStringA("quorvan", "localefile", stored.c_str(), SettingsFilePath().c_str());
    I18l.SetFile(std::string(KatalogExe()) + "locale/" + stored);
}
