// QuorvanPlayer: the program's entry point.
#include "platform/cmdline.h"
#include "platform/process.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "ui/mainwindow.h"
#include "ui/qtwindowport.h"
#include "ui/startup.h"

#include <QApplication>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    IgnoreSigPipe();
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
