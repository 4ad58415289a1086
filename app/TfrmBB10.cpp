#include "TfrmBB10.h"

#include "DeviceCommands.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "PasswordMemory.h"
#include "PhoneNoticer.h"
#include "Settings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

namespace kestrane {
namespace {

// The local files a drag carries, in its order; other addresses are left out.
QStringList LocalFilesOf(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    return paths;
}

bool IsDragEvent(QEvent::Type type) {
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

// Runs handler, through the guard as a reported handler, whenever sender emits signal.
template <class Sender, class Signal>
void BindReported(TfrmBB10* window, Sender* sender, Signal signal, void (TfrmBB10::*handler)()) {
    QObject::connect(sender, signal, window, [window, handler] {
        RunHandler(window, HandlerOrigin::Click, [window, handler] { (window->*handler)(); });
    });
}

} // namespace

TfrmBB10::TfrmBB10(Services services, QWidget* parent)
    : QWidget(parent), services_(WithSystemDefaults(std::move(services))) {
    deviceCommands_ = std::make_unique<DeviceCommands>(this, services_.consoleRunner);
    services_.loginAttempts->setAdvice(LastAttemptAdvice);
    deviceCommands_->setLoginAttempts(services_.loginAttempts);
    ZipArchive1.Prompts = &archivePrompts_;
    SetupDesign();
    SetupConnectionHelpers();
    BindHandlers();
    // Placed at the centre of the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    FormCreate();
}

TfrmBB10::~TfrmBB10() {
    // Ends every command still running while the controls it holds back still exist.
    deviceCommands_.reset();
}

void TfrmBB10::FormCreate() {
    setAcceptDrops(true);
    RouteDropsToWindow();
    AppDir = ExecutableFolder();
    BringToFront(pMain);
    AppsListPending = true;
    cbLaunchAfterInstall->setChecked(KestraneSettings().value(LaunchAfterInstallKey).toBool());
}

void TfrmBB10::FormShow() {
    ShowStartAddress();
    DiscoverJavaRuntime();
    ShowDeployToolInUse();
    AskDeployToolVersion();
}

void TfrmBB10::DiscoverJavaRuntime() {
    Memo1->clear();
    JavaBinDir = DiscoverJavaBinDir(*services_.registry);
}

void TfrmBB10::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        RunHandler(this, HandlerOrigin::Show, [this] { FormShow(); });
    }
}

void TfrmBB10::closeEvent(QCloseEvent* event) {
    if (deviceCommands_->isRunning()) {
        // A command that ends while the question is open makes it moot: the question goes away
        // and the window closes, as it would have without a command.
        bool endedMeanwhile = false;
        deviceCommands_->setIdleCallback([&endedMeanwhile] {
            endedMeanwhile = true;
            MessageBox::dismissShown();
        });
        const MessageBox::Button answer =
            MessageBox::show(this, {MessageBox::Kind::Confirmation, ApplicationTitle(),
                                    StopCommandsQuestion, MessageBox::Yes | MessageBox::No});
        deviceCommands_->setIdleCallback(nullptr);
        if (answer != MessageBox::Yes && !endedMeanwhile) {
            event->ignore();
            return;
        }
        deviceCommands_->stopAll();
    }
    QWidget::closeEvent(event);
}

void TfrmBB10::BindClick(QAbstractButton* button, void (TfrmBB10::*handler)()) {
    TrackClickOrigin(button);
    connect(button, &QAbstractButton::clicked, this, [this, button, handler] {
        RunHandler(this, ClickOriginOf(button), [this, handler] { (this->*handler)(); });
    });
}

void TfrmBB10::BindHandlers() {
    BindClick(SpeedButton2, &TfrmBB10::SpeedButton2Click);
    BindClick(btnInstallApps, &TfrmBB10::btnInstallAppsClick);
    BindClick(btnManageApps, &TfrmBB10::btnManageAppsClick);
    BindClick(btnClose, &TfrmBB10::btnCloseClick);
    BindClick(SpeedButton3, &TfrmBB10::SpeedButton3Click);
    BindClick(btnBack2, &TfrmBB10::SpeedButton3Click);

    BindClick(btnRefresh, &TfrmBB10::btnRefreshClick);
    BindClick(btnFind, &TfrmBB10::btnFindClick);
    BindClick(btnConn, &TfrmBB10::btnConnClick);
    connect(SpeedButton1, &FlatButton::mousePressed, this, [this](Qt::MouseButton button) {
        RunHandler(this, HandlerOrigin::Click, [&] { SpeedButton1MouseDown(button); });
    });
    // The left button's release comes back wherever the pointer is (the button holds the mouse
    // while it is down); a release of another button counts only over the button.
    connect(SpeedButton1, &FlatButton::mouseReleased, this,
            [this](Qt::MouseButton button, bool overButton) {
                if (button == Qt::LeftButton || overButton) {
                    RunHandler(this, HandlerOrigin::Click, [&] { SpeedButton1MouseUp(button); });
                }
            });
    BindReported(this, lbDevModeOn, &LinkLabel::clicked, &TfrmBB10::lbDevModeOnClick);

    BindReported(this, Label10, &LinkLabel::clicked, &TfrmBB10::Label10Click);
    BindReported(this, Label11, &LinkLabel::clicked, &TfrmBB10::Label11Click);
    BindReported(this, ImgDonate, &ClickablePicture::clicked, &TfrmBB10::ImgDonateClick);

    BindClick(btnAddBar, &TfrmBB10::btnAddBarClick);
    BindClick(btnUp, &TfrmBB10::btnUpClick);
    BindClick(btnDown, &TfrmBB10::btnDownClick);
    BindClick(btnClearList, &TfrmBB10::btnClearListClick);
    BindClick(btnInstallBar, &TfrmBB10::btnInstallBarClick);
    BindClick(cbLaunchAfterInstall, &TfrmBB10::cbLaunchAfterInstallClick);
    connect(lstBarFile, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1->popup(lstBarFile->viewport()->mapToGlobal(at));
    });
    BindReported(this, RemoveSelectedItems1, &QAction::triggered,
                 &TfrmBB10::RemoveSelectedItems1Click);
    // The connection panel's menu: a right click anywhere on the panel, or a click on the label
    // that names the deploy tool.
    connect(Panel1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(Panel1->mapToGlobal(at)); });
    connect(lbDeployTool, &LinkLabel::clicked, this, [this] {
        PopupMenu2->popup(lbDeployTool->mapToGlobal(QPoint(0, lbDeployTool->height())));
    });
    BindReported(this, ChooseDeployTool1, &QAction::triggered, &TfrmBB10::ChooseDeployTool1Click);
    BindReported(this, UseSimulator1, &QAction::triggered, &TfrmBB10::UseSimulator1Click);
    connect(lstBarFile->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        RunHandler(this, HandlerOrigin::Click, [&] { lstBarFileColumnClick(column); });
    });
    BindReported(this, Memo1, &LineBuffer::changed, &TfrmBB10::Memo1Change);

    BindClick(btnRefreshApp, &TfrmBB10::btnRefreshAppClick);
    BindClick(btnCheckApp, &TfrmBB10::btnCheckAppClick);
    BindClick(btnLaunchApp, &TfrmBB10::btnLaunchAppClick);
    BindClick(btnTerminate, &TfrmBB10::btnTerminateClick);
    BindClick(btnUninstall, &TfrmBB10::btnUninstallClick);
    BindClick(btnAppLog, &TfrmBB10::btnAppLogClick);
    connect(btnAppFiles, &QAbstractButton::clicked, this, [this] {
        PopupMenu3->popup(btnAppFiles->mapToGlobal(QPoint(0, btnAppFiles->height())));
    });
    BindReported(this, GetFile1, &QAction::triggered, &TfrmBB10::GetFile1Click);
    BindReported(this, PutFile1, &QAction::triggered, &TfrmBB10::PutFile1Click);

    // The information panel follows the connection panel's width.
    Panel1->installEventFilter(this);
}

// ---- Screens ----------------------------------------------------------------------------------

void TfrmBB10::BringToFront(QWidget* screen) {
    screens->setCurrentWidget(screen);
}

void TfrmBB10::LayOutMainScreen() {
    const int left = Panel1->width();
    Panel3->setGeometry(left, 0, pMain->width() - left, pMain->height());
}

// ---- Drops ------------------------------------------------------------------------------------

void TfrmBB10::RouteDropsToWindow() {
    // Controls that take drops of their own (the edit fields) would keep files dropped on them
    // from the window: let the window see every drag first and take those that carry files.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->acceptDrops()) {
            child->installEventFilter(this);
        }
    }
}

bool TfrmBB10::AcceptFileDrag(QDropEvent* event) {
    if (LocalFilesOf(event->mimeData()).isEmpty()) {
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

bool TfrmBB10::DeliverFileDrop(QDropEvent* event) {
    const QStringList paths = LocalFilesOf(event->mimeData());
    if (paths.isEmpty()) {
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    RunHandler(this, HandlerOrigin::Drop, [&] { WMDropFiles(paths); });
    return true;
}

void TfrmBB10::dragEnterEvent(QDragEnterEvent* event) {
    if (!AcceptFileDrag(event)) {
        event->ignore();
    }
}

void TfrmBB10::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptFileDrag(event)) {
        event->ignore();
    }
}

void TfrmBB10::dropEvent(QDropEvent* event) {
    if (!DeliverFileDrop(event)) {
        event->ignore();
    }
}

bool TfrmBB10::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize) {
        LayOutMainScreen();
        return false;
    }
    if (IsDragEvent(event->type())) {
        auto* drop = static_cast<QDropEvent*>(event);
        return event->type() == QEvent::Drop ? DeliverFileDrop(drop) : AcceptFileDrag(drop);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kestrane
