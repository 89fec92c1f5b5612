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

std::optional<QString> roleName(quint32 role) {
    static const QHash<quint32, QString> names{
        {2, QStringLiteral("alert")},           {7, QStringLiteral("check box")},
        {11, QStringLiteral("combo box")},      {16, QStringLiteral("dialog")},
        {19, QStringLiteral("file chooser")},   {20, QStringLiteral("filler")},
        {23, QStringLiteral("frame")},          {27, QStringLiteral("image")},
        {28, QStringLiteral("internal frame")}, {29, QStringLiteral("label")},
        {30, QStringLiteral("layered pane")},   {31, QStringLiteral("list")},
        {32, QStringLiteral("list item")},      {33, QStringLiteral("menu")},
        {34, QStringLiteral("menu bar")},       {35, QStringLiteral("menu item")},
        {37, QStringLiteral("page tab")},       {38, QStringLiteral("page tab list")},
        {39, QStringLiteral("panel")},          {40, QStringLiteral("password text")},
        {42, QStringLiteral("progress bar")},   {43, QStringLiteral("push button")},
        {44, QStringLiteral("radio button")},   {46, QStringLiteral("root pane")},
        {49, QStringLiteral("scroll pane")},    {51, QStringLiteral("slider")},
        {52, QStringLiteral("spin button")},    {53, QStringLiteral("split pane")},
        {54, QStringLiteral("status bar")},     {55, QStringLiteral("table")},
        {56, QStringLiteral("table cell")},     {60, QStringLiteral("terminal")},
        {61, QStringLiteral("text")},           {62, QStringLiteral("toggle button")},
        {63, QStringLiteral("tool bar")},       {65, QStringLiteral("tree")},
        {66, QStringLiteral("tree table")},     {68, QStringLiteral("viewport")},
        {69, QStringLiteral("window")},         {73, QStringLiteral("paragraph")},
        {75, QStringLiteral("application")},    {77, QStringLiteral("editbar")},
        {79, QStringLiteral("entry")},          {82, QStringLiteral("document frame")},
        {83, QStringLiteral("heading")},        {85, QStringLiteral("section")},
        {87, QStringLiteral("form")},           {88, QStringLiteral("link")},
        {94, QStringLiteral("document text")},  {95, QStringLiteral("document web")},
        {96, QStringLiteral("document email")}, {98, QStringLiteral("list box")},
        {99, QStringLiteral("grouping")},       {116, QStringLiteral("static")},
    };
    const auto found = names.constFind(role);
    if (found == names.constEnd()) return std::nullopt;
    return *found;
}

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
