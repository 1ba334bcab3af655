// QuorvanPlayer: the program's entry point.
#include "platform/cmdline.h"
#include "platform/process.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "ui/displaychoice.h"
#include "ui/mainwindow.h"
#include "ui/qtwindowport.h"
#include "ui/startup.h"

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    IgnoreSigPipe();
    // Decided before Qt picks its platform itself.
    DisplayChoice display = ChooseDisplayForThisProcess();
    if (!display.platform.empty())
        qputenv("QT_QPA_PLATFORM", display.platform.c_str());
    if (!display.consoleNote.empty())
        std::fprintf(stderr, "%s\n", display.consoleNote.c_str());
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(quorvan_ui);
    StartedProgram program =
        WinMainStartup(JoinCommandLine(std::vector<std::string>(argv, argv + argc)));
    int code = program.exitAtOnce ? program.exitCode : app.exec();
    if (!program.exitAtOnce)
        ClosePlayer();
    SetWindowPort(nullptr);
    return code;
}
