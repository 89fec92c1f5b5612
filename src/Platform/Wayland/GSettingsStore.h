#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quillo {

// GNOME's settings (GSettings over dconf), values in GVariant's text form ("'F8'", "['/a/']").
// `path` names the place of a relocatable schema's keys; empty for a fixed schema.
class GSettingsStore {
public:
    virtual ~GSettingsStore() = default;
    virtual bool hasSchema(const QString& schema) const = 0;
    virtual std::optional<QString> value(const QString& schema, const QString& path, const QString& key) const = 0;
    virtual bool setValue(const QString& schema, const QString& path, const QString& key, const QString& value) = 0;
    // Back to the schema's default (the key then holds nothing of ours).
    virtual bool reset(const QString& schema, const QString& path, const QString& key) = 0;
};

// The store through the desktop's own `gsettings` tool, so that no GLib is linked for it.
class GSettingsTool final : public GSettingsStore {
public:
    bool hasSchema(const QString& schema) const override;
    std::optional<QString> value(const QString& schema, const QString& path, const QString& key) const override;
    bool setValue(const QString& schema, const QString& path, const QString& key, const QString& value) override;
    bool reset(const QString& schema, const QString& path, const QString& key) override;

private:
    static std::optional<QString> run(const QStringList& arguments);
};

// GVariant's text form for the values the trigger's keybinding uses.
namespace GVariantText {
// 'text', quoted and escaped as gsettings prints and parses it.
QString string(const QString& text);
// ['a', 'b'], or @as [] when empty.
QString stringArray(const QStringList& items);
// A string array as gsettings prints it; none when the text is not one.
std::optional<QStringList> parseStringArray(const QString& input);
// A single string as gsettings prints it; none when the text is not one.
std::optional<QString> parseString(const QString& input);
} // namespace GVariantText

} // namespace quillo
