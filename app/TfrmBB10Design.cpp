// The window's design: every control at its place, with its caption, hint, font and colour.

#include "Anchors.h"
#include "Fonts.h"
#include "SupportLinks.h"
#include "TfrmBB10.h"

#include <QHeaderView>
#include <QIcon>
#include <QPalette>

#include <utility>

// The window's pictures are compiled into the library; a static library must register them.
static void InitWindowResources() {
    Q_INIT_RESOURCE(kestrane);
}

namespace kestrane {
namespace {

constexpr QSize ClientSize(657, 428);
constexpr QSize ScreenSize(660, 430);
constexpr int BottomBarTop = 389;
constexpr int BottomBarHeight = 41;
// Value labels reach to the inner edge of the white card behind them; a longer value is cut
// there with "…" (and shown whole in the label's tooltip) instead of running over the picture.
constexpr int ValueLabelWidth = 230;

namespace Colours {
const QColor WindowFrame(0x64, 0x64, 0x64);
const QColor WindowText(Qt::black);
const QColor White(Qt::white);
const QColor Yellow(0xFF, 0xFF, 0x00);
// The highlight colour of links: a light blue that reads well on the window-frame grey.
const QColor Highlight(0x8C, 0xC8, 0xFF);
const QColor InfoBackground(0xFF, 0xFF, 0xE1);
const QColor MenuText(Qt::black);
} // namespace Colours

const QString ReleaseDate = QStringLiteral("10/12/2026");

QFont BarButtonFont() {
    return TahomaFont(13, FontWeight::Bold);
}

// The colour of a label's or a frame's text (and, through the palette, of the labels in it; edit
// fields and push buttons keep their own text colours).
void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void SetButtonTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

template <class Widget, class... Arguments>
Widget* Place(QWidget* parent, const char* name, const QRect& geometry, Arguments&&... arguments) {
    auto* widget = new Widget(parent, std::forward<Arguments>(arguments)...);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// A label sizes itself to its text; the given place is its top-left corner.
template <class Label = QLabel>
Label* AddLabel(QWidget* parent, const char* name, const QString& text, QPoint at,
                const QFont& font, const QColor& colour) {
    auto* label = new Label(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    SetTextColour(label, colour);
    label->move(at);
    label->adjustSize();
    return label;
}

FlatButton* AddFlatButton(QWidget* parent, const char* name, const QString& caption,
                          const QString& hint, const QRect& geometry,
                          const QFont& font = BarButtonFont()) {
    auto* button = Place<FlatButton>(parent, name, geometry);
    button->setText(caption);
    button->setToolTip(hint);
    button->setFont(font);
    SetButtonTextColour(button, Colours::White);
    return button;
}

QWidget* AddPanel(QWidget* parent, const char* name, const QRect& geometry) {
    return Place<QWidget>(parent, name, geometry);
}

Picture* AddBarPicture(QWidget* bar, const char* name, const QRect& geometry,
                       const QString& resource) {
    auto* picture = Place<Picture>(bar, name, geometry);
    picture->setPicture(QPixmap(resource));
    return picture;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/kestrane/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

void TfrmBB10::SetupDesign() {
    InitWindowResources();
    setObjectName(QStringLiteral("frmBB10"));
    setWindowTitle(WindowCaption);
    setWindowIcon(ApplicationIcon());
    // A fixed single border with the system menu and the close button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientSize);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Colours::WindowFrame);
    palette.setColor(QPalette::WindowText, Colours::WindowText);
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(TahomaFont(11));

    // The screens are 3 pixels wider and 2 higher than the client area: the border cuts them.
    screens = Place<QStackedWidget>(this, "screens", QRect(QPoint(0, 0), ScreenSize));
    pMain = new QWidget;
    pMain->setObjectName(QStringLiteral("pMain"));
    pInstall = new QWidget;
    pInstall->setObjectName(QStringLiteral("pInstall"));
    pManage = new QWidget;
    pManage->setObjectName(QStringLiteral("pManage"));
    for (QWidget* screen : {pMain, pInstall, pManage}) {
        screens->addWidget(screen);
        screen->resize(ScreenSize);
    }

    SetupMainScreen();
    SetupInstallScreen();
    SetupManageScreen();
    SetupComponents();
    SetupTabOrder();
}

void TfrmBB10::SetupMainScreen() {
    Panel1 = AddPanel(pMain, "Panel1", QRect(0, 0, ConnectionPanelWidth, ScreenSize.height()));
    Panel3 = AddPanel(pMain, "Panel3",
                      QRect(ConnectionPanelWidth, 0, ScreenSize.width() - ConnectionPanelWidth,
                            ScreenSize.height()));
    SetupConnectionPanel();
    SetupAboutBox();
    SetupInformationPanel();
    SetupMainBar();
}

void TfrmBB10::SetupConnectionPanel() {
    Label18 = AddLabel(Panel1, "Label18", QStringLiteral("Connection Information"), {10, 12},
                       TahomaFont(16, FontWeight::Bold, true), Colours::White);

    // Find Devices, on the heading's line above the address field it fills in.
    btnFind = AddFlatButton(Panel1, "btnFind", QStringLiteral("&Find..."),
                            QStringLiteral("Find the devices in Development Mode on USB and the "
                                           "local network"),
                            QRect(226, 10, 63, 24), TahomaFont(11, FontWeight::Bold));

    GroupBox2 = Place<GroupFrame>(Panel1, "GroupBox2", QRect(8, 41, 281, 167));
    GroupBox2->setFont(TahomaFont(11));
    SetTextColour(GroupBox2, Colours::White);

    lbDevModeOn = AddLabel<LinkLabel>(GroupBox2, "lbDevModeOn",
                                      QStringLiteral("Requirement: Development Mode - ON"),
                                      {16, 14}, TahomaFont(13, FontWeight::Bold), Colours::Yellow);
    Label1 = AddLabel(GroupBox2, "Label1", QStringLiteral("IP Address:"), {16, 41},
                      TahomaFont(13, FontWeight::Bold), Colours::White);

    edtIP = Place<AddressEdit>(GroupBox2, "edtIP", QRect(102, 39, 139, 24));
    edtIP->setFont(TahomaFont(13));
    edtIP->setToolTip(QStringLiteral("IP Address of your Device in DevMode"));
    edtIP->setText(QStringLiteral("169.254.0  .1  "));

    btnRefresh =
        AddFlatButton(GroupBox2, "btnRefresh", QString(), QString(), QRect(240, 39, 25, 24));
    btnRefresh->setGlyph(QPixmap(QStringLiteral(":/kestrane/refresh.png")));

    Label2 = AddLabel(GroupBox2, "Label2", QStringLiteral("Password:"), {24, 71},
                      TahomaFont(13, FontWeight::Bold), Colours::White);

    edtPwd = Place<PasswordEdit>(GroupBox2, "edtPwd", QRect(102, 69, 139, 24));
    edtPwd->setFont(TahomaFont(13));
    edtPwd->setToolTip(QStringLiteral("Device Password"));

    SpeedButton1 =
        AddFlatButton(GroupBox2, "SpeedButton1", QString(), QString(), QRect(240, 69, 25, 24));
    SpeedButton1->setGlyph(QPixmap(QStringLiteral(":/kestrane/eye.png")));

    // Keeps the password in the desktop keyring when Connect succeeds (PasswordMemory).
    cbRememberPassword = Place<QCheckBox>(GroupBox2, "cbRememberPassword", QRect(102, 95, 160, 20));
    cbRememberPassword->setText(QStringLiteral("Remember password"));
    cbRememberPassword->setFont(TahomaFont(11));
    SetTextColour(cbRememberPassword, Colours::White);

    btnConn = Place<QPushButton>(GroupBox2, "btnConn", QRect(102, 117, 97, 25));
    btnConn->setText(QStringLiteral("&Connect"));
    btnConn->setFont(TahomaFont(11));

    lbDeployTool = AddLabel<LinkLabel>(GroupBox2, "lbDeployTool", QString(), {206, 122},
                                       TahomaFont(11, FontWeight::Bold), Colours::Yellow);

    // The device a phone plugged in over USB turned out to be (PhoneNoticer).
    lbUsbDevice =
        AddLabel(GroupBox2, "lbUsbDevice", QString(), {16, 146}, TahomaFont(11), Colours::White);
    lbUsbDevice->setFixedWidth(255);
}

void TfrmBB10::SetupAboutBox() {
    GroupBox1 = Place<GroupFrame>(Panel1, "GroupBox1", QRect(9, 214, 281, 214));
    GroupBox1->setTitle(WindowCaption);
    GroupBox1->setFont(TahomaFont(13, FontWeight::Bold));
    SetTextColour(GroupBox1, Colours::White);

    const QFont bold = TahomaFont(13, FontWeight::Bold);
    Label8 =
        AddLabel(GroupBox1, "Label8", QStringLiteral("By: Pellam"), {12, 29}, bold, Colours::White);
    Label6 = AddLabel(GroupBox1, "Label6", QStringLiteral("Version: 1.0.1"), {12, 57}, bold,
                      Colours::White);
    Label7 = AddLabel(GroupBox1, "Label7", QStringLiteral("Released: ") + ReleaseDate, {12, 87},
                      bold, Colours::White);
    Label9 =
        AddLabel(GroupBox1, "Label9", QStringLiteral("Support:"), {12, 115}, bold, Colours::White);
    // The two links show the very addresses their clicks open.
    Label10 = AddLabel<LinkLabel>(GroupBox1, "Label10", MakeSupportAddress(QStringLiteral("m")),
                                  {72, 115}, TahomaFont(13), Colours::Highlight);
    Label11 = AddLabel<LinkLabel>(GroupBox1, "Label11", MakeSupportAddress(QStringLiteral("h")),
                                  {12, 142}, bold, Colours::Highlight);

    ImgDonate = Place<ClickablePicture>(GroupBox1, "ImgDonate", QRect(92, 160, 110, 51));
    ImgDonate->setPicture(QPixmap(QStringLiteral(":/kestrane/donate.gif")));
    ImgDonate->setCentred(true);
    ImgDonate->setToolTip(QStringLiteral("Donate quickly with PayPal"));
}

void TfrmBB10::SetupInformationPanel() {
    // Lowest first: the card, then the picture, then the labels in front of both.
    Shape1 = Place<RoundedShape>(Panel3, "Shape1", QRect(8, 12, 346, 367));
    imgModel = Place<Picture>(Panel3, "imgModel", QRect(374, 21, 235, 350));
    imgModel->setPicture(QPixmap(DefaultDevicePicture));
    lbDevice = AddLabel(Panel3, "lbDevice", QStringLiteral("Device Information"), {94, 28},
                        TahomaFont(24), Colours::WindowText);

    struct Row {
        int top;
        const char* captionName;
        const char* caption;
        const char* valueName;
        QLabel** captionLabel;
        QLabel** valueLabel;
    };
    const Row rows[] = {
        {83, "Label5", "Device Name:", "lbDevName", &Label5, &lbDevName},
        {108, "Label20", "Model Number:", "lbModelNum", &Label20, &lbModelNum},
        {133, "Label22", "Hardware ID:", "lbHWID", &Label22, &lbHWID},
        {159, "Label24", "IMEI", "lbIMEI", &Label24, &lbIMEI},
        {183, "Label28", "Serial Number:", "lbSerial", &Label28, &lbSerial},
        {209, "Label12", "PIN Number:", "lbPIN", &Label12, &lbPIN},
        {251, "Label13", "OS:", "lbOS", &Label13, &lbOS},
        {276, "Label14", "Version: ", "lbVersion", &Label14, &lbVersion},
        {303, "Label15", "Air Version: ", "lbAirVer", &Label15, &lbAirVer},
        {329, "Label16", "Flash Version: ", "lbFlashVer", &Label16, &lbFlashVer},
    };
    for (const Row& row : rows) {
        *row.captionLabel = AddLabel(Panel3, row.captionName, QString::fromLatin1(row.caption),
                                     {30, row.top}, TahomaFont(13), Colours::WindowText);
        QLabel* value =
            AddLabel<ElidingLabel>(Panel3, row.valueName, QStringLiteral("..."), {124, row.top},
                                   TahomaFont(13, FontWeight::Bold), Colours::WindowText);
        value->resize(ValueLabelWidth, value->height());
        *row.valueLabel = value;
    }
    Panel2 = Place<LoweredBevel>(Panel3, "Panel2", QRect(30, 237, 304, 4));
    // Below the versions, inside the card: empty until a device reports its debug token.
    lbDebugToken = AddLabel<ElidingLabel>(Panel3, "lbDebugToken", QString(), {30, 354},
                                          TahomaFont(13, FontWeight::Bold), Colours::WindowText);
    lbDebugToken->resize(304, Label16->height());
    // Between the heading and the first row: the link to the connected phone is gone
    // (PhoneNoticer); hidden otherwise.
    lbUsbGone = AddLabel<ElidingLabel>(Panel3, "lbUsbGone", QString(), {30, 60},
                                       TahomaFont(11, FontWeight::Bold), QColor(0xB0, 0x00, 0x00));
    lbUsbGone->resize(304, lbUsbGone->height());

    panel3Anchors_ = new Anchors(Panel3);
    panel3Anchors_->anchor(Shape1, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge);
}

void TfrmBB10::SetupMainBar() {
    Panel4 = AddPanel(Panel3, "Panel4", QRect(0, BottomBarTop, Panel3->width(), BottomBarHeight));
    Image2 = AddBarPicture(Panel4, "Image2", Panel4->rect().adjusted(1, 1, -1, -1),
                           QStringLiteral(":/kestrane/bar-background-main.png"));
    SpeedButton2 = AddFlatButton(Panel4, "SpeedButton2", QStringLiteral(":::"),
                                 QStringLiteral("Show/Hide Connection Information"),
                                 QRect(2, 0, 51, 40), TahomaFont(16, FontWeight::Bold));
    btnInstallApps =
        AddFlatButton(Panel4, "btnInstallApps", QStringLiteral("&Install Apps"),
                      QStringLiteral("Show Installation Windows"), QRect(77, 5, 91, 32));
    btnManageApps =
        AddFlatButton(Panel4, "btnManageApps", QStringLiteral("&Manage Apps"),
                      QStringLiteral("Show Managing Apps windows"), QRect(174, 5, 95, 32));
    btnClose = AddFlatButton(Panel4, "btnClose", QStringLiteral("&Exit"),
                             QStringLiteral("Close and Exit"), QRect(307, 5, 46, 32));
    // Enabled by the first successful connection.
    SpeedButton2->setEnabled(false);
    btnInstallApps->setEnabled(false);
    btnManageApps->setEnabled(false);

    // The bar lies along the panel's bottom edge at its full width.
    panel3Anchors_->anchor(Panel4, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    for (QWidget* button : {btnInstallApps, btnManageApps, btnClose}) {
        panel3Anchors_->anchor(button, Qt::TopEdge | Qt::RightEdge);
    }
    panel4Anchors_ = new Anchors(Panel4);
    panel4Anchors_->anchor(Image2, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
}

void TfrmBB10::SetupInstallScreen() {
    lstBarFile = Place<ListView>(pInstall, "lstBarFile", QRect(6, 7, 644, 376),
                                 std::vector<ListView::Column>{
                                     {QStringLiteral("App Name"), 200, Qt::AlignLeft},
                                     {QStringLiteral("Version"), 90, Qt::AlignRight},
                                     {QStringLiteral("Size (in byte)"), 90, Qt::AlignRight},
                                     {QStringLiteral("App Type"), 90, Qt::AlignHCenter},
                                     {QStringLiteral("Path"), 0, Qt::AlignLeft},
                                     {QStringLiteral("Status"), 160, Qt::AlignLeft},
                                 });
    // The list's text keeps the system's window-text colour.
    lstBarFile->setFont(SegoeUiFont(13));
    lstBarFile->setToolTip(QStringLiteral("Drag and Drop BAR files here"));

    pInsBottom = AddPanel(pInstall, "pInsBottom",
                          QRect(0, BottomBarTop, ScreenSize.width(), BottomBarHeight));
    Image1 = AddBarPicture(pInsBottom, "Image1", pInsBottom->rect(),
                           QStringLiteral(":/kestrane/bar-background.png"));
    SpeedButton3 = AddFlatButton(pInsBottom, "SpeedButton3", QStringLiteral("&Back"),
                                 QStringLiteral("Back to main screen"), QRect(15, 5, 46, 32));
    btnUp =
        AddFlatButton(pInsBottom, "btnUp", QStringLiteral("\u25B2"), QStringLiteral("Move Item Up"),
                      QRect(268, 9, 22, 22), TahomaFont(16, FontWeight::Bold));
    btnDown = AddFlatButton(pInsBottom, "btnDown", QStringLiteral("\u25BC"),
                            QStringLiteral("Move Item Down"), QRect(289, 12, 22, 22),
                            TahomaFont(16, FontWeight::Bold));
    btnAddBar = AddFlatButton(pInsBottom, "btnAddBar", QStringLiteral("&Add"),
                              QStringLiteral("Add bar files into the list"), QRect(493, 5, 38, 32));
    btnClearList = AddFlatButton(pInsBottom, "btnClearList", QStringLiteral("&Clear"),
                                 QStringLiteral("Clear the list above"), QRect(544, 5, 42, 32));
    btnInstallBar =
        AddFlatButton(pInsBottom, "btnInstallBar", QStringLiteral("&Install"),
                      QStringLiteral("Install all bar files in the list"), QRect(598, 5, 46, 32));
    // Between the arrows and Add, in the bar's white text.
    cbLaunchAfterInstall =
        Place<QCheckBox>(pInsBottom, "cbLaunchAfterInstall", QRect(330, 9, 150, 22));
    cbLaunchAfterInstall->setText(QStringLiteral("&Launch after installing"));
    cbLaunchAfterInstall->setToolTip(
        QStringLiteral("Launch each application on the device once it is installed"));
    cbLaunchAfterInstall->setFont(TahomaFont(12));
    SetTextColour(cbLaunchAfterInstall, Colours::White);
}

void TfrmBB10::SetupManageScreen() {
    Label3 = AddLabel(pManage, "Label3", QStringLiteral("List of all Installed Applications"),
                      {8, 8}, TahomaFont(19, FontWeight::Bold), Colours::InfoBackground);
    lstApps = Place<ListView>(pManage, "lstApps", QRect(8, 37, 644, 345),
                              std::vector<ListView::Column>{
                                  {QStringLiteral("App Name"), 200, Qt::AlignLeft},
                                  {QStringLiteral("Version"), 100, Qt::AlignRight},
                                  {QStringLiteral("Package-Name"), 220, Qt::AlignLeft},
                                  {QStringLiteral("Status"), 80, Qt::AlignHCenter},
                                  {QStringLiteral("Package-ID"), 0, Qt::AlignLeft},
                              });
    lstApps->setFont(SegoeUiFont(13));
    QPalette menuText = lstApps->palette();
    menuText.setColor(QPalette::Text, Colours::MenuText);
    lstApps->setPalette(menuText);

    Panel5 =
        AddPanel(pManage, "Panel5", QRect(0, BottomBarTop, ScreenSize.width(), BottomBarHeight));
    Image3 = AddBarPicture(Panel5, "Image3", Panel5->rect(),
                           QStringLiteral(":/kestrane/bar-background.png"));
    btnBack2 = AddFlatButton(Panel5, "btnBack2", QStringLiteral("&Back"),
                             QStringLiteral("Back to main screen"), QRect(15, 5, 46, 32));
    // For the one selected application: its log, and files to and from its sandbox.
    btnAppLog = AddFlatButton(Panel5, "btnAppLog", QStringLiteral("Lo&g..."),
                              QStringLiteral("Show the selected app's log"), QRect(70, 5, 44, 32));
    btnAppFiles = AddFlatButton(Panel5, "btnAppFiles", QStringLiteral("&Files..."),
                                QStringLiteral("Get or put a file in the selected app's sandbox"),
                                QRect(118, 5, 50, 32));
    btnRefreshApp =
        AddFlatButton(Panel5, "btnRefreshApp", QStringLiteral("&Refresh"),
                      QStringLiteral("Refresh Applications list"), QRect(174, 5, 58, 32));
    btnCheckApp =
        AddFlatButton(Panel5, "btnCheckApp", QStringLiteral("&Check Status"),
                      QStringLiteral("Check status of selected app"), QRect(242, 5, 96, 32));
    btnLaunchApp = AddFlatButton(Panel5, "btnLaunchApp", QStringLiteral("&Launch App"),
                                 QStringLiteral("Launch selected apps"), QRect(404, 5, 91, 32));
    btnTerminate = AddFlatButton(Panel5, "btnTerminate", QStringLiteral("&Terminate"),
                                 QStringLiteral("Terminate selected apps"), QRect(501, 5, 70, 32));
    btnUninstall = AddFlatButton(Panel5, "btnUninstall", QStringLiteral("&Uninstall"),
                                 QStringLiteral("Uninstall selected apps"), QRect(576, 5, 68, 32));

    manageAnchors_ = new Anchors(pManage);
    manageAnchors_->anchor(lstApps, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
}

void TfrmBB10::SetupComponents() {
    Memo1 = new LineBuffer(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setText(QStringLiteral("Memo1"));

    OpenDialog1 = new OpenDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    RemoveSelectedItems1 = PopupMenu1->addAction(QStringLiteral("&Remove Selected Items"));
    RemoveSelectedItems1->setObjectName(QStringLiteral("RemoveSelectedItems1"));
    lstBarFile->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    deployToolInfo_ = PopupMenu2->addAction(QString());
    deployToolInfo_->setEnabled(false);
    PopupMenu2->addSeparator();
    ChooseDeployTool1 =
        PopupMenu2->addAction(QStringLiteral("Choose the Deploy Tool's &Folder..."));
    ChooseDeployTool1->setObjectName(QStringLiteral("ChooseDeployTool1"));
    UseSimulator1 = PopupMenu2->addAction(QStringLiteral("Use the Device &Simulator"));
    UseSimulator1->setObjectName(QStringLiteral("UseSimulator1"));
    PopupMenu2->addSeparator();
    ForgetThisDevice1 = PopupMenu2->addAction(QStringLiteral("Forget This Device"));
    ForgetThisDevice1->setObjectName(QStringLiteral("ForgetThisDevice1"));
    Panel1->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    GetFile1 = PopupMenu3->addAction(QStringLiteral("&Get File..."));
    GetFile1->setObjectName(QStringLiteral("GetFile1"));
    PutFile1 = PopupMenu3->addAction(QStringLiteral("&Put File..."));
    PutFile1->setObjectName(QStringLiteral("PutFile1"));
}

void TfrmBB10::SetupTabOrder() {
    QWidget::setTabOrder(edtIP, edtPwd);
    QWidget::setTabOrder(edtPwd, btnConn);
    QWidget::setTabOrder(btnConn, btnFind);
}

} // namespace kestrane
