// Another application's clipboard for the tests: offers each TYPE=FILE given on the command
// line with the file's bytes, says "ready", and serves them until its input closes.
#include "Platform/Pasteboard.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Platform/Wayland/WaylandPasteboard.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    quillo::WaylandConnection connection;
    quillo::WaylandPasteboard pasteboard(connection);
    if (!pasteboard.isAvailable()) return 1;
    quillo::PasteboardItem item;
    for (const QString& argument : app.arguments().mid(1)) {
        const qsizetype split = argument.lastIndexOf(QLatin1Char('=')); // types may hold one too
        QFile file(argument.mid(split + 1));
        if (split <= 0 || !file.open(QIODevice::ReadOnly)) return 2;
        item.setData(argument.left(split), file.readAll());
    }
    if (!pasteboard.writeItems({item})) return 3;
    std::puts("ready");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
    });
    return QCoreApplication::exec();
}
