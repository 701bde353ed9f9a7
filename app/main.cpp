// quorvel-control: the composition root. Reads the command line, builds the
// real prompts, timings and port map, the main window and the pop-up, and
// runs the event loop.
#include "app/CommandLine.h"
#include "ui/GuardedApplication.h"
#include "ui/InfoForm.h"
#include "ui/MatrixForm.h"
#include "ui/QtPrompts.h"

#include <QCoreApplication>
#include <exception>
#include <iostream>
#include <memory>

namespace {

// Read before the window system is touched, so that --help, --version and a
// wrong option need no display. The short-lived QCoreApplication gives the
// help's usage line the program's name.
qvc::CommandLine ReadCommandLine(int& argc, char** argv) {
    const QCoreApplication reader(argc, argv);
    return qvc::ParseCommandLine(QCoreApplication::arguments());
}

} // namespace

int main(int argc, char** argv) {
    const qvc::CommandLine commandLine = ReadCommandLine(argc, argv);
    switch (commandLine.kind) {
    case qvc::CommandLine::Kind::Help:
    case qvc::CommandLine::Kind::Version:
        std::cout << commandLine.text.toLocal8Bit().constData() << std::flush;
        return commandLine.ExitCode();
    case qvc::CommandLine::Kind::Error:
        std::cerr << qvc::kProgramName << ": " << commandLine.text.toLocal8Bit().constData()
                  << "\nTry '" << qvc::kProgramName << " --help' for the list of options.\n";
        return commandLine.ExitCode();
    case qvc::CommandLine::Kind::Run:
        break;
    }

    qvc::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qvc::kApplicationTitle));
    qvc::QtPrompts prompts;
    app.SetPrompts(&prompts);
    try {
        // The pop-up outlives the window, which reports to it until the end.
        std::unique_ptr<qvc::TInfoForm> info;
        qvc::TMatrixForm form(prompts, qvc::PortMapFor(commandLine),
                              qvc::LinkTimings::Production());
        info = std::make_unique<qvc::TInfoForm>();
        form.AttachInfoForm(info.get());
        form.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        prompts.Error(QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
