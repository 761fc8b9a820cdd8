#include "mainwindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

bool haveDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    // The command line is checked before Qt sees it: no argument, or exactly "--version".
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs(RVX_VERSION_STRING "\n", stdout);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "Usage: %s [--version]\n", argv[0]);
        return 1;
    }
    if (!haveDisplay()) {
        std::fputs(
            "RVX cannot start: no graphical display was found. RVX is a desktop program; run it from a "
            "desktop session or set DISPLAY (for example under xvfb-run).\n",
            stderr);
        return 1;
    }

    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orbenium"));
    QApplication::setApplicationName(QStringLiteral("RVX"));
    QApplication::setApplicationVersion(QStringLiteral(RVX_VERSION_STRING));
    MainWindow window;
    window.show();
    return app.exec();
}
