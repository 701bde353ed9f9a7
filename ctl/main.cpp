// quorvel-ctl: a command-line client for scripts (see Ctl.h).
#include "Ctl.h"

#include <QCoreApplication>
#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-ctl"));
    return qvc::ctl::Run(QCoreApplication::arguments().mid(1), std::cout, std::cerr);
}
