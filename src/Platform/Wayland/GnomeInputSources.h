#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <utility>

class QProcess;

namespace quillo {

// Which of the user's GNOME input sources is active, so that shortcut letters are looked up in
// that layout of the keymap Mutter announces (whose groups are the sources, in order). GNOME
// says it only through its settings: the first of `mru-sources` is the one in use. Followed
// with `gsettings monitor`, so that a switch costs no lookup at each key.
class GnomeInputSources final : public QObject {
    Q_OBJECT
public:
    static inline const QString schema = QStringLiteral("org.gnome.desktop.input-sources");

    explicit GnomeInputSources(QObject* parent = nullptr);
    ~GnomeInputSources() override;
    GnomeInputSources(const GnomeInputSources&) = delete;
    GnomeInputSources& operator=(const GnomeInputSources&) = delete;

    // The keymap group of the active source; none when GNOME does not say.
    std::optional<quint32> activeGroup() const { return activeGroup(sources_, mruSources_); }

    // From the two settings' values as gsettings prints them ("[('xkb', 'us'), ('xkb', 'fr')]").
    static std::optional<quint32> activeGroup(const QString& sources, const QString& mruSources);
    // An a(ss) value: the pairs, or none when the text is not one.
    static std::optional<QList<std::pair<QString, QString>>> parsePairs(const QString& input);

private:
    void readMonitor();

    QString sources_;
    QString mruSources_;
    QProcess* monitor_ = nullptr;
    QByteArray pending_;
};

} // namespace quillo
