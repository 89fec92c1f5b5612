#include "Platform/Linux/AtSpiRoleMapping.h"

#include "Support/AccessibilitySupport.h"

#include <QHash>

namespace quillo::AtSpiRoleMapping {

namespace {

const QHash<QString, QString>& fixedRoles() {
    static const QHash<QString, QString> roles{
        {QStringLiteral("application"), AccessibilityRoles::application},
        {QStringLiteral("frame"), AccessibilityRoles::window},
        {QStringLiteral("window"), AccessibilityRoles::window},
        {QStringLiteral("dialog"), AccessibilityRoles::window},
        {QStringLiteral("file chooser"), AccessibilityRoles::window},
        {QStringLiteral("alert"), AccessibilityRoles::window},
        {QStringLiteral("panel"), AccessibilityRoles::group},
        {QStringLiteral("filler"), AccessibilityRoles::group},
        {QStringLiteral("section"), AccessibilityRoles::group},
        {QStringLiteral("paragraph"), AccessibilityRoles::group},
        {QStringLiteral("form"), AccessibilityRoles::group},
        {QStringLiteral("grouping"), AccessibilityRoles::group},
        {QStringLiteral("layered pane"), AccessibilityRoles::group},
        {QStringLiteral("split pane"), AccessibilityRoles::group},
        {QStringLiteral("root pane"), AccessibilityRoles::group},
        {QStringLiteral("internal frame"), AccessibilityRoles::group},
        {QStringLiteral("status bar"), AccessibilityRoles::group},
        {QStringLiteral("scroll pane"), AccessibilityRoles::scrollArea},
        {QStringLiteral("viewport"), AccessibilityRoles::scrollArea},
        {QStringLiteral("document web"), AccessibilityRoles::webArea},
        {QStringLiteral("push button"), QStringLiteral("AXButton")},
        {QStringLiteral("toggle button"), QStringLiteral("AXCheckBox")},
        {QStringLiteral("check box"), QStringLiteral("AXCheckBox")},
        {QStringLiteral("radio button"), QStringLiteral("AXRadioButton")},
        {QStringLiteral("label"), QStringLiteral("AXStaticText")},
        {QStringLiteral("static"), QStringLiteral("AXStaticText")},
        {QStringLiteral("link"), QStringLiteral("AXLink")},
        {QStringLiteral("image"), QStringLiteral("AXImage")},
        {QStringLiteral("heading"), QStringLiteral("AXHeading")},
        {QStringLiteral("menu"), QStringLiteral("AXMenu")},
        {QStringLiteral("menu bar"), QStringLiteral("AXMenuBar")},
        {QStringLiteral("menu item"), QStringLiteral("AXMenuItem")},
        {QStringLiteral("list"), QStringLiteral("AXList")},
        {QStringLiteral("list box"), QStringLiteral("AXList")},
        {QStringLiteral("list item"), QStringLiteral("AXCell")},
        {QStringLiteral("table"), QStringLiteral("AXTable")},
        {QStringLiteral("table cell"), QStringLiteral("AXCell")},
        {QStringLiteral("tree"), QStringLiteral("AXOutline")},
        {QStringLiteral("tree table"), QStringLiteral("AXOutline")},
        {QStringLiteral("page tab list"), QStringLiteral("AXTabGroup")},
        {QStringLiteral("page tab"), QStringLiteral("AXRadioButton")},
        {QStringLiteral("tool bar"), QStringLiteral("AXToolbar")},
        {QStringLiteral("slider"), QStringLiteral("AXSlider")},
        {QStringLiteral("spin button"), QStringLiteral("AXIncrementor")},
        {QStringLiteral("progress bar"), QStringLiteral("AXProgressIndicator")},
        {QStringLiteral("terminal"), QStringLiteral("AXTerminal")},
    };
    return roles;
}

bool isTextEntryRole(const QString& roleName) {
    return roleName == QLatin1String("text") || roleName == QLatin1String("entry") ||
           roleName == QLatin1String("editbar") || roleName == QLatin1String("password text");
}

} // namespace

QString role(const QString& roleName, quint64 states) {
    const QString name = roleName.trimmed().toLower();
    if (isTextEntryRole(name)) {
        if (name == QLatin1String("password text")) return AccessibilityRoles::textField;
        // Single-line entries are fields; multi-line editors (and entries that say neither) are areas.
        if (AtSpiState::has(states, AtSpiState::singleLine)) return AccessibilityRoles::textField;
        return AccessibilityRoles::textArea;
    }
    if (name == QLatin1String("combo box")) {
        // Only a combo box the user can type into is a text input; a plain drop-down list
        // is a pop-up button.
        return isEditable(states) ? AccessibilityRoles::comboBox : QStringLiteral("AXPopUpButton");
    }
    if (name == QLatin1String("document text") || name == QLatin1String("document frame") ||
        name == QLatin1String("document email")) {
        return isEditable(states) ? AccessibilityRoles::textArea : AccessibilityRoles::group;
    }
    const auto found = fixedRoles().constFind(name);
    if (found != fixedRoles().constEnd()) return *found;
    return QStringLiteral("AXUnknown");
}

std::optional<QString> subrole(const QString& roleName, quint64 states) {
    Q_UNUSED(states);
    if (roleName.trimmed().toLower() == QLatin1String("password text")) return AccessibilityRoles::secureTextField;
    return std::nullopt;
}

bool isEditable(quint64 states) {
    return AtSpiState::has(states, AtSpiState::editable) && !AtSpiState::has(states, AtSpiState::readOnly);
}

bool selectedTextRangeSettable(bool implementsText, quint64 states) { return implementsText && isEditable(states); }

} // namespace quillo::AtSpiRoleMapping
