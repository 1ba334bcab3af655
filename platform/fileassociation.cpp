#include "platform/fileassociation.h"

#include "platform/paths.h"
#include "platform/privatefiles.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/windowport.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace {

constexpr const char* kPlayerEntry = "quorvan-player.desktop";
constexpr const char* kNfoEntry = "quorvan-nfo.desktop";
constexpr const char* kOwnType = "video/x-quorvanvideofile";
constexpr const char* kNfoType = "text/x-nfo";
constexpr const char* kIconName = "quorvan-player";
// The cache tools take well under a second; a hung one must not hold the window.
constexpr int kToolTimeoutMs = 10000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string XdgFolder(const char* variable, const char* fallbackUnderHome) {
    std::string value = Env(variable);
    if (!value.empty() && value[0] == '/')
        return value;
    return Env("HOME") + "/" + fallbackUnderHome;
}

// Writes the file unless it already holds `data` (a second registration touches nothing).
bool EnsureFile(const std::string& folder, const std::string& name, const std::string& data) {
    if (!MakePrivateFolders(folder))
        return false;
    std::string path = folder + "/" + name;
    std::optional<std::string> now = ReadProfileFile(path);
    if (now && *now == data)
        return true;
    return WriteFileAtomically(path, data);
}

std::string ApplicationsFolder() {
    return XdgDataHome() + "/applications";
}

// A desktop entry's string value: backslashes and line breaks escaped.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string IconFor(const std::string& programFolder) {
    std::string icon = programFolder + kIconName + ".png";
    return IsFileExist(icon.c_str()) ? icon : kIconName;
}

std::string MovieTypeList() {
    std::string types;
    for (const AssociatedExtension& entry : MovieExtensions()) {
        std::string type = std::string(entry.mimeType) + ";";
        if (types.find(type) == std::string::npos)
            types += type;
    }
    return types;
}

// Makes `desktopEntry` the default application of `mimeType`, keeping every other entry.
bool SetDefaultApplication(const std::string& mimeType, const std::string& desktopEntry) {
    std::string folder = XdgConfigHome();
    if (!MakePrivateFolders(folder))
        return false;
    std::string path = folder + "/mimeapps.list";
    std::optional<std::string> content = ReadProfileForUpdate(path);
    if (!content)
        return false;
    std::string value = desktopEntry + ";";
    std::string updated = ProfileStore(*content, "Default Applications", &mimeType, &value);
    if (updated == *content)
        return true;
    return WriteFileAtomically(path, updated);
}

void CannotOpen() {
    MessageBoxS(0, "niemoge otworzyc ", "OK", 0);
}

void RunTool(const std::string& tool, const std::string& folder) {
    SpawnOptions options;
    options.argv = {tool, folder};
    options.nullStdio = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return; // not installed: the desktop reads the files without its cache
    int status = 0;
    if (!WaitProcess(child.pid, kToolTimeoutMs, &status))
        KillProcess(child.pid, 500);
}

} // namespace

const std::vector<AssociatedExtension>& MovieExtensions() {
    static const std::vector<AssociatedExtension> extensions = {
        {".001", kOwnType, true},
        {".r06", kOwnType, true},
        {".r46", kOwnType, true},
        {".r47", kOwnType, true},
        {".r48", kOwnType, true},
        {".avi", "video/x-msvideo", false},
        {".3gp", "video/3gpp", false},
        {".flv", "video/x-flv", false},
        {".mpge", kOwnType, true},
        {".mpg", "video/mpeg", false},
        {".bin", kOwnType, true},
        {".wmv", "video/x-ms-wmv", false},
        {".RMVB", "application/vnd.rn-realmedia", false},
        {".vob", "video/mpeg", false},
        {".MKV", "video/x-matroska", false},
    };
    return extensions;
}

std::string XdgDataHome() {
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string XdgConfigHome() {
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string DesktopExecArgument(const std::string& program) {
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // Field codes start with '%'; a literal one is doubled.
    std::string out;
    for (char c : quoted) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

std::string DesktopExecLine(const std::string& program) {
    // GLib refuses an entry whose program it cannot find, and it looks for the program before
    // "%%" becomes "%": a program folder holding a percent sign is reached through sh, whose
    // name needs no escaping, with the program's path as an ordinary (escaped) argument.
    if (program.find('%') == std::string::npos)
        return DesktopExecArgument(program) + " %f";
    return "sh -c " + DesktopExecArgument("exec \"$0\" \"$@\"") + " " +
           DesktopExecArgument(program) + " %f";
}

std::string PlayerDesktopEntry(const std::string& programFolder, const std::string& icon) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvan Rar Player\n"
           "GenericName=Movie Player\n"
           "Comment=Plays movies, also straight out of RAR volume sets\n"
           "Exec=" +
           EscapeValue(DesktopExecLine(programFolder + "QuorvanPlayer")) +
           "\n"
           "Icon=" +
           EscapeValue(icon) +
           "\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Video;Player;\n"
           "MimeType=" +
           MovieTypeList() + "\n";
}

std::string NfoDesktopEntry(const std::string& programFolder, const std::string& icon) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvan NFO Viewer\n"
           "Comment=Shows release descriptions (.nfo) with their DOS line drawing\n"
           "Exec=" +
           EscapeValue(DesktopExecLine(programFolder + "binary/NFO2TXT")) +
           "\n"
           "Icon=" +
           EscapeValue(icon) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "Categories=Utility;TextTools;\n"
           "MimeType=" +
           std::string(kNfoType) + ";\n";
}

std::string MimePackage() {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        std::string(kOwnType) +
        "\">\n"
        "    <comment>Movie file (Quorvan Rar Player)</comment>\n"
        "    <generic-icon name=\"video-x-generic\"/>\n";
    for (const AssociatedExtension& entry : MovieExtensions())
        if (entry.ownType)
            xml += std::string("    <glob pattern=\"*") + entry.extension + "\"/>\n";
    xml += "  </mime-type>\n"
           "</mime-info>\n";
    return xml;
}

int FileAssociation(const char* extension) {
    const AssociatedExtension* found = nullptr;
    for (const AssociatedExtension& entry : MovieExtensions())
        if (std::string(entry.extension) == extension)
            found = &entry;
    if (found == nullptr)
        return 0;
    std::string program = KatalogExe();
    // The extension's type, its default application, then the program that opens it.
    bool done = (!found->ownType || EnsureFile(XdgDataHome() + "/mime/packages",
                                               "quorvan-player.xml", MimePackage())) &&
                SetDefaultApplication(found->mimeType, kPlayerEntry) &&
                EnsureFile(ApplicationsFolder(), kPlayerEntry,
                           PlayerDesktopEntry(program, IconFor(program)));
    if (!done)
        CannotOpen();
    return done ? 1 : 0;
}

int FileAssociationNFO() {
    std::string program = KatalogExe();
    bool done =
        SetDefaultApplication(kNfoType, kNfoEntry) &&
        EnsureFile(ApplicationsFolder(), kNfoEntry, NfoDesktopEntry(program, IconFor(program)));
    if (!done)
        CannotOpen();
    return done ? 1 : 0;
}

void FileAssociation() {
    FileAssociationNFO();
    for (const AssociatedExtension& entry : MovieExtensions())
        FileAssociation(entry.extension);
    RefreshDesktopDatabases();
}

void RefreshDesktopDatabases() {
    RunTool("update-mime-database", XdgDataHome() + "/mime");
    RunTool("update-desktop-database", ApplicationsFolder());
}
