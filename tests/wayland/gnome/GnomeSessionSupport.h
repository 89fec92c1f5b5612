#pragma once
// The test's own means on the headless GNOME session, apart from anything Quillo does: a
// keyboard, the custom keybinding written as GNOME's settings write it, the remote desktop
// dialog answered as the user would, and the clipboard held and read by another program.
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

#include <optional>
#include <utility>

namespace quillo::gnometest {

// Whether the runner script put us in its GNOME session.
bool inGnomeSession();

// A keyboard of the test's own, through Mutter's remote desktop interface: the keys reach GNOME
// as a user's would. Codes are the kernel's (linux/input-event-codes.h).
class SessionKeyboard {
public:
    SessionKeyboard() = default;
    ~SessionKeyboard();
    SessionKeyboard(const SessionKeyboard&) = delete;
    SessionKeyboard& operator=(const SessionKeyboard&) = delete;
    bool open();
    bool press(quint32 code);
    // The key with Control, or Shift, held.
    bool control(quint32 code);
    bool shifted(quint32 code);

private:
    bool key(quint32 code, bool down);
    bool with(quint32 modifier, quint32 code);
    QString session_;
};

// The custom keybindings under the media keys settings, exactly these; an empty list removes them.
bool setCustomKeybindings(const QList<std::pair<QString, QString>>& acceleratorsAndCommands);
QString customKeybindingsSetting();

// Whether a trigger command GNOME started (`quillo --trigger`) is still running: its request is
// on its way to the service until it ends.
bool triggerCommandRunning();

// Answers the next remote desktop dialog in a helper process, as soon as it appears.
class ConsentAnswer {
public:
    enum class Choice { allow, deny };
    explicit ConsentAnswer(Choice choice);
    ~ConsentAnswer();
    ConsentAnswer(const ConsentAnswer&) = delete;
    ConsentAnswer& operator=(const ConsentAnswer&) = delete;
    // Whether the dialog appeared and was answered.
    bool answered(int timeoutMs = 30000);

private:
    QProcess process_;
};

// Another program holding the clipboard with these types and bytes until destroyed.
class ClipboardOwner {
public:
    ClipboardOwner() = default;
    ~ClipboardOwner();
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;
    bool start(const QList<std::pair<QString, QByteArray>>& contents);

private:
    QProcess process_;
    QList<QString> files_;
};

// What another program reads from the clipboard for a type.
std::optional<QByteArray> clipboardBytes(const QString& type);

} // namespace quillo::gnometest
