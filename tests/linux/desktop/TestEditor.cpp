// A small editor in its own process, driven over standard input, for the desktop tests:
// a single-line field, a multi-line field and a password field. Each command line gets one
// answer line on standard output (JSON).
//
//   focus single|multi|password       give the field the keyboard focus
//   set single|multi|password TEXT    replace the text (\n escapes a line break)
//   select single|multi START LENGTH  select a range
//   get                               {"single":..,"multi":..,"password":..,"focus":..,"keys":[..]}
//                                     (keys: every key the editor was sent, by name)
//   offer                             own the clipboard with text, HTML and a PNG image
//   offerfiles                        own it as a file manager does for copied files
//   offerlines                        own it as GTK does for two copied lines (CR LF in text/plain;charset=utf-8)
//   clipboard                         {"formats":[..],"data":{type: base64}}
//   raise                             activate the window
//   grab PATH                         save the whole screen as a PNG file: {"saved":true|false}
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

QByteArray pngBytes() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(qRgb(200, 30, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void answer(const QJsonObject& object) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fflush(stdout);
}

class KeyRecorder final : public QObject {
public:
    explicit KeyRecorder(QStringList& keys) : keys_(keys) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Each key press reaches the window and the focused widget: count it once, at the window.
        if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) keys_.append(QKeySequence(key->key()).toString());
        }
        return false;
    }

private:
    QStringList& keys_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("quillo-test-editor"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillo test editor"));
    auto* layout = new QVBoxLayout(&window);
    auto* single = new QLineEdit;
    single->setObjectName(QStringLiteral("single"));
    auto* multi = new QPlainTextEdit;
    multi->setObjectName(QStringLiteral("multi"));
    auto* password = new QLineEdit;
    password->setObjectName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    layout->addWidget(single);
    layout->addWidget(multi);
    layout->addWidget(password);
    window.resize(500, 300);
    window.show();
    window.activateWindow();
    single->setFocus();

    // Every key the editor receives, so tests can tell which keys reached the application.
    QStringList keysSeen;
    KeyRecorder recorder(keysSeen);
    app.installEventFilter(&recorder);

    auto fieldNamed = [&](const QString& name) -> QWidget* {
        if (name == QLatin1String("single")) return single;
        if (name == QLatin1String("multi")) return multi;
        if (name == QLatin1String("password")) return password;
        return nullptr;
    };
    auto state = [&] {
        QWidget* focus = QApplication::focusWidget();
        return QJsonObject{{"single", single->text()},
                           {"multi", multi->toPlainText()},
                           {"password", password->text()},
                           {"focus", focus ? focus->objectName() : QString()},
                           {"selected", single->selectedText() + multi->textCursor().selectedText()},
                           {"active", window.isActiveWindow()},
                           {"keys", QJsonArray::fromStringList(keysSeen)}};
    };

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(buffer, n);
        int newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(newline));
            pending.remove(0, newline + 1);
            const QString command = line.section(u' ', 0, 0);
            const QString target = line.section(u' ', 1, 1);
            const QString rest = line.section(u' ', 2);
            if (command == QLatin1String("focus")) {
                window.activateWindow();
                window.raise();
                if (QWidget* field = fieldNamed(target)) field->setFocus(Qt::OtherFocusReason);
                answer(state());
            } else if (command == QLatin1String("get")) {
                answer(state());
            } else if (command == QLatin1String("raise")) {
                window.activateWindow();
                window.raise();
                answer(state());
            } else if (command == QLatin1String("set")) {
                QString text = rest;
                text.replace(QLatin1String("\\n"), QLatin1String("\n"));
                if (target == QLatin1String("single")) single->setText(text);
                if (target == QLatin1String("multi")) multi->setPlainText(text);
                if (target == QLatin1String("password")) password->setText(text);
                answer(state());
            } else if (command == QLatin1String("select")) {
                const int start = rest.section(u' ', 0, 0).toInt();
                const int length = rest.section(u' ', 1, 1).toInt();
                if (target == QLatin1String("single")) single->setSelection(start, length);
                if (target == QLatin1String("multi")) {
                    QTextCursor cursor = multi->textCursor();
                    cursor.setPosition(start);
                    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
                    multi->setTextCursor(cursor);
                }
                answer(state());
            } else if (command == QLatin1String("offer")) {
                auto* mime = new QMimeData;
                mime->setData(QStringLiteral("text/plain"), QByteArrayLiteral("the user's own text"));
                mime->setData(QStringLiteral("text/html"), QByteArrayLiteral("<b>the user's</b> own text"));
                mime->setData(QStringLiteral("image/png"), pngBytes());
                mime->setData(QStringLiteral("application/x-quillo-test"), QByteArray("\x00\x01\x02\xff", 4));
                QApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
                answer(state());
            } else if (command == QLatin1String("offerfiles")) {
                // What a file manager offers when files are copied.
                auto* mime = new QMimeData;
                mime->setData(QStringLiteral("text/uri-list"), QByteArrayLiteral("file:///tmp/report.odt\r\n"));
                mime->setData(QStringLiteral("x-special/gnome-copied-files"),
                              QByteArrayLiteral("copy\nfile:///tmp/report.odt"));
                mime->setData(QStringLiteral("text/plain"), QByteArrayLiteral("/tmp/report.odt"));
                QApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
                answer(state());
            } else if (command == QLatin1String("offerlines")) {
                // GTK's offer: UTF8_STRING (Qt's "text/plain") keeps the line feed, the MIME text
                // type carries CR LF.
                auto* mime = new QMimeData;
                mime->setData(QStringLiteral("text/plain"), QByteArrayLiteral("first line\nsecond line"));
                mime->setData(QStringLiteral("text/plain;charset=utf-8"),
                              QByteArrayLiteral("first line\r\nsecond line"));
                QApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
                answer(state());
            } else if (command == QLatin1String("clipboard")) {
                const QMimeData* mime = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
                QJsonArray formats;
                QJsonObject data;
                if (mime) {
                    for (const QString& format : mime->formats()) {
                        formats.append(format);
                        data.insert(format, QString::fromLatin1(mime->data(format).toBase64()));
                    }
                }
                answer(QJsonObject{{"formats", formats}, {"data", data}});
            } else if (command == QLatin1String("grab")) {
                // The root window holds every mapped window, other processes' included.
                const QString path = line.section(u' ', 1);
                QScreen* screen = QGuiApplication::primaryScreen();
                const bool saved = screen && !path.isEmpty() && screen->grabWindow(0).save(path, "PNG");
                answer(QJsonObject{{"saved", saved}});
            } else {
                answer(QJsonObject{{"error", line}});
            }
        }
    });
    answer(state());
    return app.exec();
}
