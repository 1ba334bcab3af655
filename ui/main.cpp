// QuorvanPlayer: the program's entry point.
#include "platform/process.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "ui/mainwindow.h"
#include "ui/qtwindowport.h"
#include "ui/startup.h"

#include <QApplication>
#include <string>

namespace {
// The command line as one text, the way the start-up splits it: arguments with blanks (or
// empty ones) are put in double quotes.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (i > 0)
            line += ' ';
        if (argument.empty() || argument.find(' ') != std::string::npos)
            line += '"' + argument + '"';
        else
            line += argument;
    }
    return line;
}
} // namespace

int main(int argc, char** argv) {
    IgnoreSigPipe();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(quorvan_ui);
    StartedProgram program = WinMainStartup(CommandLine(argc, argv));
    int code = program.exitAtOnce ? program.exitCode : app.exec();
    if (!program.exitAtOnce)
        ClosePlayer();
    SetWindowPort(nullptr);
    return code;
}
