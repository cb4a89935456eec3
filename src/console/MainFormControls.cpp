// The window's controls: where each sits, its size, colour, caption, hint
// and font, and whether it starts shown and enabled. Pixels are Qt's
// device-independent pixels.

#include "console/ConsoleFonts.h"
#include "console/MainForm.h"
#include "console/logic/AdapterPages.h"
#include "device/Catalogue.h"

#include <QPalette>
#include <QScrollBar>

namespace quennel {

namespace {

const QColor Navy(0, 0, 128);
const QColor Red(255, 0, 0);
const QColor Lime(0, 255, 0);
const QColor Yellow(255, 255, 0);
const QColor Aqua(0, 255, 255);
const QColor Blue(0, 0, 255);
const QColor Fuchsia(255, 0, 255);
const QColor Silver(192, 192, 192);
const QColor Black(0, 0, 0);

constexpr int PanelWidth = 118;
constexpr int ButtonLeft = 4;
constexpr int ButtonTop = 4;
constexpr int ButtonWidth = 110;
constexpr int ButtonHeight = 20;

void Paint(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// The text of a control that can be disabled: the style's own colour shows
// it disabled, so that a busy window looks busy.
void PaintWhileEnabled(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
    widget->setPalette(palette);
}

void FillBackground(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    Paint(widget, QPalette::Window, colour);
}

template <typename Control>
Control* Place(QWidget* parent, const char* name, int left, int top, int width, int height,
               const QFont& font) {
    auto* control = new Control(parent);
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    control->setFont(font);
    return control;
}

QFrame* MakePanel(QWidget* form, const char* name, int left, int top, int height, const QColor& colour) {
    auto* panel = new QFrame(form);
    panel->setObjectName(name);
    panel->setGeometry(left, top, PanelWidth, height);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    FillBackground(panel, colour);
    return panel;
}

QPushButton* MakeButton(QFrame* panel, int index, const char* name, const char* caption, const char* hint) {
    auto* button = Place<QPushButton>(panel, name, ButtonLeft, ButtonTop + ButtonHeight * index, ButtonWidth,
                                      ButtonHeight, TextFont(11));
    button->setText(caption);
    if (*hint)
        button->setToolTip(hint);
    button->setFocusPolicy(Qt::TabFocus);
    PaintWhileEnabled(button, QPalette::ButtonText, Black);
    return button;
}

template <typename Memo = QPlainTextEdit>
Memo* MakeMemo(QWidget* form, const char* name, int left, int top, int width, int height, const QFont& font) {
    auto* memo = Place<Memo>(form, name, left, top, width, height, font);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Paint(memo, QPalette::Text, Black);
    return memo;
}

QPlainTextEdit* MakeAdapterPage(QWidget* form, const char* name, int width, int height, PromptMemo memo) {
    QPlainTextEdit* page = MakeMemo(form, name, 128, 32, width, height, FixedFont(11));
    page->setLineWrapMode(QPlainTextEdit::NoWrap);
    page->setReadOnly(true);
    QString text;
    for (const std::string& line : AdapterPageLines(memo))
        text += QString::fromStdString(line) + '\n';
    text.chop(1);
    page->setPlainText(text);
    page->hide();
    return page;
}

QListWidget* MakeList(QWidget* form, const char* name, int left, int top, int width, int height,
                      const QStringList& rows) {
    auto* list = Place<QListWidget>(form, name, left, top, width, height, FixedFont(12));
    list->addItems(rows);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Paint(list, QPalette::Text, Black);
    list->hide();
    return list;
}

QLineEdit* MakeField(QWidget* form, const char* name, int left, int top, int width, int maxLength) {
    auto* field = Place<QLineEdit>(form, name, left, top, width, 23, FixedFont(12));
    field->setMaxLength(maxLength);
    field->hide();
    return field;
}

} // namespace

void TMainForm::CreateControls() {
    FillBackground(this, Navy);
    QFont windowFont = TextFont(14);
    setFont(windowFont);
    Paint(this, QPalette::WindowText, palette().color(QPalette::ToolTipText));

    Panel7 = MakePanel(this, "Panel7", 6, 4, 28, Red);
    Program_Eprom =
        MakeButton(Panel7, 0, "Program_Eprom", "&Program Device", "Programs the Device from the Buffer...");

    Panel1 = MakePanel(this, "Panel1", 6, 36, 108, Lime);
    Blank_Chk = MakeButton(Panel1, 0, "Blank_Chk", "&Blank Check", "Checks for FF in all locations...");
    Verify_Eprom =
        MakeButton(Panel1, 1, "Verify_Eprom", "&Verify Device", "Verifies Device Data to the Buffer...");
    Move_Eprom = MakeButton(Panel1, 2, "Move_Eprom", "&Move Device", "Moves Device Data to the Buffer...");
    Compare = MakeButton(Panel1, 3, "Compare", "Program Compare",
                         "Checks to See if the Device Can be Programmed Over...");
    Device = MakeButton(Panel1, 4, "Device", "No Device", "Selects the Device Type...");

    Panel2 = MakePanel(this, "Panel2", 6, 148, 48, Yellow);
    Edit = MakeButton(Panel2, 0, "Edit", "&Edit Buffer", "Changes Buffer Content...");
    Fill = MakeButton(Panel2, 1, "Fill", "&Fill Buffer", "Fills Buffer with XX Data...");

    Panel5 = MakePanel(this, "Panel5", 6, 200, 88, Aqua);
    Chk_Sum_But =
        MakeButton(Panel5, 0, "Chk_Sum_But", "&Check Sum=0000", "Creates a Check Sum of the Buffer Data...");
    Load_But = MakeButton(Panel5, 1, "Load_But", "&Load Buffer", "Loads Buffer from Disk File...");
    Save_But = MakeButton(Panel5, 2, "Save_But", "&Save Buffer", "Save's Buffer to Disk File...");
    File_But = MakeButton(Panel5, 3, "File_But", "Binary File", "Selects File Type to Load & Save...");

    Panel4 = MakePanel(this, "Panel4", 6, 310, 48, Blue);
    Help_1 = MakeButton(Panel4, 0, "Help_1", "Help", "Requires Varrow.Txt File...");
    Scale = MakeButton(Panel4, 1, "Scale", "Large Buttons", "Makes the Buttons Larger or Smaller...");

    Panel6 = MakePanel(this, "Panel6", 6, 364, 48, Fuchsia);
    Start_Add = MakeButton(Panel6, 0, "Start_Add", "Device Start=0000", "");
    End_Add = MakeButton(Panel6, 1, "End_Add", "Device End=0000", "");

    // The device operations wait for a programmer.
    for (QPushButton* button : {Program_Eprom, Blank_Chk, Verify_Eprom, Move_Eprom, Compare})
        button->setEnabled(false);

    Address = Place<QPushButton>(this, "Address", 128, 8, 110, 20, TextFont(11));
    Address->setText("0000");
    Address->setFocusPolicy(Qt::NoFocus);
    Paint(Address, QPalette::ButtonText, Black);

    StaticText3 = Place<ClickableText>(this, "StaticText3", 248, 8, 142, 17, TextFont(12));
    StaticText3->setText("Looking For Programmer");
    StaticText3->setAutoFillBackground(true);
    Paint(StaticText3, QPalette::WindowText, Black);
    SetStatusColour(Yellow);
    FitStaticText(StaticText3);

    StaticText4 = Place<QLabel>(this, "StaticText4", 6, 426, 244, 17, TextFont(11));
    StaticText4->setText("Last File Loaded in Buffer=No File Loaded");
    FillBackground(StaticText4, Silver);
    Paint(StaticText4, QPalette::WindowText, Black);
    FitStaticText(StaticText4);

    Memo1 = MakeMemo(this, "Memo1", 165, 56, 397, 241, FixedFont(13));
    Memo1->setReadOnly(true);

    Help1 = MakeMemo(this, "Help1", 128, 32, 513, 385, TextFont(12));
    Help1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Help1->hide();

    QStringList deviceRows;
    for (const CatalogueRow& row : Catalogue())
        deviceRows << QString::fromUtf8(row.ListText.data(), static_cast<qsizetype>(row.ListText.size()));
    Device_Box = MakeList(this, "Device_Box", 128, 32, 240, 385, deviceRows);
    for (int row = 0; row < Device_Box->count(); ++row)
        Device_Box->item(row)->setSizeHint(QSize(0, DeviceRowHeight));

    File_Type =
        MakeList(this, "File_Type", 128, 246, 103, 65, {"Binary", "Intel Hex", "Motorola Hex", "Ascii Hex"});
    FillBox = MakeList(this, "FillBox", 128, 152, 162, 66,
                       {"Fill Buffer With 00", "Fill Buffer With FF", "Fill Buffer With XX", "Cancel"});
    Fill_Edit = MakeField(this, "Fill_Edit", 290, 182, 37, 2);

    Edit_1 = MakeMemo<EditorTextControl>(this, "Edit_1", 130, 53, 511, 263, FixedFont(12));
    Edit_1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Edit_1->setReadOnly(true);
    Edit_1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    Edit_1->hide();
    Chg_Edit_Add = MakeField(this, "Chg_Edit_Add", 166, 30, 59, 6);

    Page_1 = MakeAdapterPage(this, "Page_1", 425, 305, PromptMemo::Page_1);
    Page_2 = MakeAdapterPage(this, "Page_2", 441, 337, PromptMemo::Page_2);
    Lower = MakeAdapterPage(this, "Lower", 497, 385, PromptMemo::Lower);
    Upper = MakeAdapterPage(this, "Upper", 497, 385, PromptMemo::Upper);
}

void TMainForm::SetStatusColour(const QColor& colour) {
    Paint(StaticText3, QPalette::Window, colour);
}

void TMainForm::FitStaticText(QLabel* text) {
    const int width = text->fontMetrics().horizontalAdvance(text->text()) + 2 * text->margin() + 4;
    text->resize(width, text->height());
}

std::vector<QWidget*> TMainForm::AllControls() const {
    return {Panel7,       Program_Eprom, Panel1, Blank_Chk,  Verify_Eprom, Move_Eprom, Compare,   Device,
            Panel2,       Edit,          Fill,   Panel5,     Chk_Sum_But,  Load_But,   Save_But,  File_But,
            Panel4,       Help_1,        Scale,  Panel6,     Start_Add,    End_Add,    Address,   StaticText3,
            StaticText4,  Memo1,         Help1,  Device_Box, File_Type,    FillBox,    Fill_Edit, Edit_1,
            Chg_Edit_Add, Page_1,        Page_2, Lower,      Upper};
}

} // namespace quennel
