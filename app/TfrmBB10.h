#pragma once

#include "AppActionQueue.h"
#include "ArchivePrompts.h"
#include "CommandResult.h"
#include "Controls.h"
#include "DeployCommand.h"
#include "DeployToolLookup.h"
#include "DeviceInfo.h"
#include "DeviceOperations.h"
#include "FileDialog.h"
#include "InstallRun.h"
#include "Sandbox.h"
#include "Services.h"
#include "ZipArchive.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

namespace kestrane {

class Anchors;
class ConsoleJob;
class DeviceCommands;
class PasswordMemory;
class PhoneNoticer;

// The program's one window. Three full-size screens lie stacked in it: the main screen pMain
// (connection panel and device information), the install screen pInstall (the queue of BAR files)
// and the manage screen pManage (the applications on the device); exactly one is on top.
//
// Every control is a public member named as in the window's design, with the same objectName.
// Every event handler is a public slot named after its control and event; the window runs each
// one through one guard (RunHandler), so no exception ever reaches the event loop. Handlers are
// virtual so that tests can stand in for them.
class TfrmBB10 : public QWidget {
    Q_OBJECT
public:
    explicit TfrmBB10(Services services, QWidget* parent = nullptr);
    ~TfrmBB10() override;

    // The connection panel's width when it is shown; folded away it is 0 wide.
    static constexpr int ConnectionPanelWidth = 295;

    // ---- Program-wide values ----
    // The folder of the running executable (links resolved), without a trailing separator.
    QString AppDir;
    // The Java runtime's bin folder found when the window was first shown; empty when none.
    QString JavaBinDir;
    // True until the manage screen has been visited once (its list is then loaded once).
    bool AppsListPending = false;

    // ---- Screens ----
    QStackedWidget* screens = nullptr; // holds the three screens; the current one is on top
    QWidget* pMain = nullptr;
    QWidget* pInstall = nullptr;
    QWidget* pManage = nullptr;

    // ---- Main screen: connection panel ----
    QWidget* Panel1 = nullptr;
    QLabel* Label18 = nullptr;
    GroupFrame* GroupBox2 = nullptr;
    LinkLabel* lbDevModeOn = nullptr;
    QLabel* Label1 = nullptr;
    AddressEdit* edtIP = nullptr;
    FlatButton* btnRefresh = nullptr;
    QLabel* Label2 = nullptr;
    PasswordEdit* edtPwd = nullptr;
    FlatButton* SpeedButton1 = nullptr;
    // "Remember password": the password kept in the desktop keyring (PasswordMemory).
    QCheckBox* cbRememberPassword = nullptr;
    QPushButton* btnConn = nullptr;
    // The device a phone plugged in over USB turned out to be (PhoneNoticer).
    QLabel* lbUsbDevice = nullptr;
    // Opens Find Devices, which fills in the address of the device chosen.
    FlatButton* btnFind = nullptr;
    // Which deploy tool answers ("Simulator", "BarDeploy 1.4.0"); a click opens PopupMenu2.
    LinkLabel* lbDeployTool = nullptr;
    GroupFrame* GroupBox1 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label9 = nullptr;
    LinkLabel* Label10 = nullptr;
    LinkLabel* Label11 = nullptr;
    ClickablePicture* ImgDonate = nullptr;

    // ---- Main screen: information panel ----
    QWidget* Panel3 = nullptr;
    RoundedShape* Shape1 = nullptr;
    Picture* imgModel = nullptr;
    QLabel* lbDevice = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lbDevName = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* lbModelNum = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* lbHWID = nullptr;
    QLabel* Label24 = nullptr;
    QLabel* lbIMEI = nullptr;
    QLabel* Label28 = nullptr;
    QLabel* lbSerial = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* lbPIN = nullptr;
    LoweredBevel* Panel2 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* lbOS = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* lbAirVer = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* lbFlashVer = nullptr;
    // The device's debug token as its information reports it; empty for devices that report
    // none (PlayBooks).
    QLabel* lbDebugToken = nullptr;
    // "The device's USB connection is gone", when it is (PhoneNoticer).
    QLabel* lbUsbGone = nullptr;
    QWidget* Panel4 = nullptr;
    Picture* Image2 = nullptr;
    FlatButton* SpeedButton2 = nullptr;
    FlatButton* btnInstallApps = nullptr;
    FlatButton* btnManageApps = nullptr;
    FlatButton* btnClose = nullptr;

    // ---- Install screen ----
    ListView* lstBarFile = nullptr;
    QWidget* pInsBottom = nullptr;
    Picture* Image1 = nullptr;
    FlatButton* SpeedButton3 = nullptr;
    FlatButton* btnUp = nullptr;
    FlatButton* btnDown = nullptr;
    FlatButton* btnAddBar = nullptr;
    FlatButton* btnClearList = nullptr;
    FlatButton* btnInstallBar = nullptr;
    // Each BAR installed is launched in the same run; remembered in Kestrane's settings.
    QCheckBox* cbLaunchAfterInstall = nullptr;

    // ---- Manage screen ----
    QLabel* Label3 = nullptr;
    ListView* lstApps = nullptr;
    QWidget* Panel5 = nullptr;
    Picture* Image3 = nullptr;
    FlatButton* btnBack2 = nullptr;
    FlatButton* btnAppLog = nullptr;
    // Opens PopupMenu3 under it.
    FlatButton* btnAppFiles = nullptr;
    FlatButton* btnRefreshApp = nullptr;
    FlatButton* btnCheckApp = nullptr;
    FlatButton* btnLaunchApp = nullptr;
    FlatButton* btnTerminate = nullptr;
    FlatButton* btnUninstall = nullptr;

    // ---- Components without a place on a screen ----
    LineBuffer* Memo1 = nullptr;
    OpenDialog* OpenDialog1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* RemoveSelectedItems1 = nullptr;
    // The connection panel's menu: which deploy tool answers, and the choice of it.
    QMenu* PopupMenu2 = nullptr;
    QAction* ChooseDeployTool1 = nullptr;
    // Forgets the device at the address field: its address, PIN entry and kept password.
    QAction* ForgetThisDevice1 = nullptr;
    QAction* UseSimulator1 = nullptr;
    // The manage screen's Files... menu.
    QMenu* PopupMenu3 = nullptr;
    QAction* GetFile1 = nullptr;
    QAction* PutFile1 = nullptr;
    // Reads BAR files; answers its own failures and questions with the window's dialogs.
    TZipArchive ZipArchive1{"ZipArchive1"};

    // The outside world the window works with.
    const Services& services() const { return services_; }
    // The device commands running now; every handler that runs one starts it here.
    DeviceCommands& deviceCommands() { return *deviceCommands_; }
    // The phone plugged in over USB, and the password kept in the keyring.
    PhoneNoticer& phoneNoticer() { return *phoneNoticer_; }
    PasswordMemory& passwordMemory() { return *passwordMemory_; }

    // ---- Shared by every handler that runs a device command ----
    // Checks that a Java runtime was found, that the address field holds a device address and
    // that the runtime, the deploy tool and its TLS settings are in place; otherwise says what is
    // wrong (the plain Java message when no runtime was found) and returns false. When the
    // device's last answer left one password attempt, asks before the password goes out again
    // (default No); false on No.
    bool ReadyForDeviceCommand(const QString& address);
    // The error box with the application's title; details behind its "Show Details..." button.
    void ShowCommandError(const QString& text, const QString& details = QString());
    // A failed command's box: its message, with the tool's whole text as details.
    void ShowCommandFailure(const CommandVerdict& verdict);

    // The device a successful Connect reached: its address (as commands name it) and the
    // password it took. Installations, listings and actions go there, whatever the connection
    // fields hold later; another device is reached by connecting to it.
    using DeviceTarget = kestrane::DeviceTarget;
    const DeviceTarget& connectedTarget() const { return connectedTarget_; }
    // The deploy tool the window's commands run (the chosen or found one, or the bundled
    // simulator), with a home of its own.
    DeployTool DeployToolInUse() const;
    // The deploy tool and the Java runtime every device command of the window runs with.
    DeviceContext DeviceContextInUse() const { return {DeployToolInUse(), JavaBinDir}; }
    DeployToolFound CurrentDeployTool() const;
    // A failure box's text, with a note that a simulated device answered when the bundled
    // simulator is the tool.
    QString WithDeployToolNote(const QString& text) const;
    // A device command's result judged with this window's program folder and Java runtime.
    CommandVerdict JudgeCommand(const CommandResult& result) const;

public slots:
    // ---- Window and screens ----
    // Runs once the window is built: AppDir, the main screen on top, AppsListPending.
    void FormCreate();
    // Runs when the window is first shown: the address suggestion, then the Java discovery.
    virtual void FormShow();
    // Toggles the connection panel: collapses it when it has any width, opens it otherwise.
    virtual void SpeedButton2Click();
    // Shows the main screen (both "&Back" buttons).
    virtual void SpeedButton3Click();
    virtual void btnInstallAppsClick();
    // Shows the manage screen; the first visit also loads the list of installed applications.
    virtual void btnManageAppsClick();
    // Closes the window, which ends the program.
    virtual void btnCloseClick();

    // ---- Connection panel ----
    // Suggests the device address from the machine's link-local address.
    virtual void btnRefreshClick();
    // Finds the devices on USB and the local network (FindDevicesDialog, window-modal, the
    // window still drawn and its commands still running); the one chosen fills in the address.
    virtual void btnFindClick();
    // Show the password in clear while a mouse button is held on the eye button.
    virtual void SpeedButton1MouseDown(Qt::MouseButton button);
    virtual void SpeedButton1MouseUp(Qt::MouseButton button);
    // Tells how to switch on Development Mode.
    virtual void lbDevModeOnClick();

    // ---- The deploy tool ----
    // Asks for the folder of BlackBerry's deploy tool and keeps it in the settings.
    virtual void ChooseDeployTool1Click();
    // Forgets the chosen folder: the lookup decides again (the simulator when nothing is found).
    virtual void UseSimulator1Click();

    // ---- Support links ----
    virtual void Label10Click();
    virtual void Label11Click();
    virtual void ImgDonateClick();

    // ---- Device information ----
    // Connects: runs the device information command and, when it answers, shows the device,
    // unlocks the other screens and folds the connection panel away.
    virtual void btnConnClick();

    // ---- Install list and installation ----
    // Receives the local files dropped on the window, in the order of the drop.
    virtual void WMDropFiles(const QStringList& paths);
    virtual void btnAddBarClick();
    virtual void btnUpClick();
    virtual void btnDownClick();
    virtual void btnClearListClick();
    virtual void RemoveSelectedItems1Click();
    virtual void lstBarFileColumnClick(int column);
    virtual void btnInstallBarClick();
    // Keeps the launch option in the settings.
    virtual void cbLaunchAfterInstallClick();
    virtual void Memo1Change();

    // ---- Installed applications ----
    virtual void btnRefreshAppClick();
    virtual void btnCheckAppClick();
    virtual void btnLaunchAppClick();
    virtual void btnTerminateClick();
    virtual void btnUninstallClick();
    // For the one selected application (the highlighted row, or else the one ticked row):
    // Log... opens the viewer of its log; Get File... and Put File... move a file between this
    // computer and its sandbox.
    virtual void btnAppLogClick();
    virtual void GetFile1Click();
    virtual void PutFile1Click();

protected:
    void showEvent(QShowEvent* event) override;
    // While a device command runs, asks whether to stop it; the window stays open on No.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Builds every control of the design at its place (TfrmBB10Design.cpp).
    void SetupDesign();
    void SetupMainScreen();
    void SetupConnectionPanel();
    void SetupAboutBox();
    void SetupInformationPanel();
    void SetupMainBar();
    void SetupInstallScreen();
    void SetupManageScreen();
    void SetupComponents();
    void SetupTabOrder();
    // Connects every control's event to its handler through the guard.
    void BindHandlers();
    void BindClick(QAbstractButton* button, void (TfrmBB10::*handler)());
    // Lets files dropped on any control reach the window's drop handling.
    void RouteDropsToWindow();

    // Runs the tool's -listDeviceInfo for target under the device silence limit; done gets its
    // result. Connect holds its button back under the hourglass; reading again (after a debug
    // token was installed) holds nothing back.
    enum class DeviceInfoReading { Connect, Again };
    void ListDeviceInfo(const DeviceTarget& target, DeviceInfoReading reading,
                        std::function<void(const CommandResult&)> done);
    // Asks before a password goes to a device with one attempt left; false when the user says No.
    bool MaySpendLastAttempt(const QString& device);
    // Connect's second half: the tool's answer shown, or its error.
    void ShowDeviceInfo(const CommandResult& result, const DeviceTarget& target);
    // Shows the connected device's identity and debug token.
    void ShowDeviceValues(const DeviceInfo& info);
    void ShowDebugToken(const DebugTokenState& token);
    // Reads the connected device's information again (after a debug token was installed), with
    // nothing held back; a failure leaves what the screen shows.
    void RereadDeviceInfo();
    // The address field at start: the USB network's suggestion, else the last device connected.
    void ShowStartAddress();
    // Set by the address suggestion: the USB network gave the field its address.
    bool usbSuggestionShown_ = false;
    // The Status column's notes on queued BARs for the connected device (debug tokens, required
    // OS versions); rows that show a run's result keep it.
    void RefreshBarNotes();
    void ShowBarNote(QTreeWidgetItem* item);
    void ClearBarNote(QTreeWidgetItem* item);
    // The connected device's information, for the notes on queued BARs.
    DeviceInfo connectedInfo_;
    // The title: the program, the connected device, and whether the simulator answers.
    void UpdateWindowTitle();
    void ShowDeployToolInUse();
    void AskDeployToolVersion();
    QAction* deployToolInfo_ = nullptr;
    QString deployToolVersion_;
    QString deployToolVersionFolder_;
    QString connectedDeviceName_;
    void ShowModelPicture(const QString& modelKey);
    // Clears what belongs to the previously connected device when deviceKey names another one.
    void ForgetOtherDevice(const QString& deviceKey);

    // The Java runtime discovery: sets JavaBinDir.
    void DiscoverJavaRuntime();
    // Puts a screen on top.
    void BringToFront(QWidget* screen);
    // The information panel fills what the connection panel leaves of the main screen.
    void LayOutMainScreen();
    // Handles a drag or drop of local files; false when it carries none.
    bool AcceptFileDrag(QDropEvent* event);
    bool DeliverFileDrop(QDropEvent* event);

    Services services_;
    ArchivePrompts archivePrompts_{this};
    std::unique_ptr<DeviceCommands> deviceCommands_;
    PhoneNoticer* phoneNoticer_ = nullptr;
    PasswordMemory* passwordMemory_ = nullptr;
    // Makes the two above, with the connection panel's controls.
    void SetupConnectionHelpers();
    Anchors* panel3Anchors_ = nullptr;
    Anchors* panel4Anchors_ = nullptr;
    Anchors* manageAnchors_ = nullptr;
    bool shown_ = false;
    // The device Connect last showed: its address and PIN.
    QString connectedDevice_;
    DeviceTarget connectedTarget_;

    // ---- Installed applications state ----
    // The manage screen's actions: held back while a refresh or an application action runs.
    QList<QWidget*> ManageActions() const;
    // True while a refresh or an application action works on the rows lstApps holds now.
    bool AppsOperationRunning() const { return appsJob_ != nullptr; }
    void StartAppsOperation(ConsoleJob* job);
    void EndAppsOperation();
    // Lines of the list the tool is writing wait here for the next turn of listAppsTimer_, which
    // adds a row for each line that names an application: the list view then lays its rows out
    // once per turn, not once per line, however slowly the lines come.
    void QueueInstalledAppLine(const QString& line);
    void ListQueuedApps();
    void FinishAppsList(const CommandResult& result);
    // Runs the tool once for each ticked row of lstApps, one after the other, in on-screen order.
    void RunAppAction(DeployAction action);
    // The application Log... and Files... work on; when there is none (or several), says how to
    // choose one and returns nothing.
    std::optional<SandboxApp> ChosenSandboxApp();
    // Sandbox commands to the connected device, started with these controls held back.
    SandboxCommands SandboxCommandsFor(QList<QWidget*> heldBack, bool hourglass);
    // The running action's queue; null when none was started yet.
    std::shared_ptr<AppActionQueue> appActions_;
    // Sets up the list's timer and the watch on rows leaving lstApps, once: rows leaving (a
    // refresh, or the list cleared for another device) end whatever was running on them: its
    // command is stopped and nothing it still reports reaches the list.
    void PrepareAppsList();
    void AppsListRowsGoing();
    // Counts the times rows left lstApps; a command's lines and results count only while it is
    // unchanged since the command started.
    quint64 appsListGeneration_ = 0;
    bool appsListPrepared_ = false;
    QStringList queuedAppLines_;
    QTimer listAppsTimer_;
    // The receiver of the watch on lstApps's rows. A member, so that the watch ends with the
    // window's own part, before the controls are destroyed (which clears the list once more).
    QObject appsListWatch_;
    // The command of the running refresh or action turn; null while none runs.
    ConsoleJob* appsJob_ = nullptr;
    // ---- Install list state ----
public:
    // The column sort's state: the column clicked last and its direction.
    int SortColumn = 0;
    bool SortAscending = false;
    // The row being installed and the highest progress percentage seen for it.
    int InstallIndex = 0;
    int InstallProgress = 0;
    // The folder the Add dialog opens in: where BAR files were last chosen (home at first).
    QString BarFolder;

    // True while an installation runs; the list's editing actions are held back meanwhile.
    bool InstallRunning() const { return installRun_ && installRun_->isActive(); }
    // Reads one BAR file and adds its row unless its application is listed already.
    void AddBarFile(const QString& path);
    // Selects, shows and focuses the first row from startIndex on whose name contains text.
    bool FindListItem(QTreeWidget* list, const QString& text, int startIndex);
    // Exchanges the contents of rows i and j (name, sub-items, status); selection stays put.
    void lvExchangeItems(QTreeWidget* lv, int i, int j);

private:
    // Shows that row index is being installed now.
    void ShowInstallRowStarted(int index);
    QList<QWidget*> InstallHeldBack() const;
    void InsertInNameOrder(QTreeWidgetItem* item);
    void MoveSelectedBarRow(int step);
    std::shared_ptr<InstallRun> installRun_;
    // True while the rows are in name order, so that an add can insert in place.
    bool nameOrdered_ = true;
};

// The texts the window shows.
inline const QString WindowCaption = QStringLiteral("Kestrane - BlackBerry 10 Utilities");
// The title while connected: "Kestrane - BlackBerry 10 Utilities - BlackBerry Z30 at 169.254.0.1".
// A device that did not give its name is "the device at 169.254.0.1".
inline QString ConnectedWindowCaption(const QString& deviceName, const QString& address) {
    const QString name = deviceName == QStringLiteral("...") || deviceName.trimmed().isEmpty()
                             ? QStringLiteral("the device")
                             : deviceName;
    return WindowCaption + QStringLiteral(" - %1 at %2").arg(name, address);
}
// Added to a failure box when the bundled simulator answered.
inline const QString SimulatorAnsweredNote = QStringLiteral(
    "A simulated device answered: Kestrane's bundled device simulator stands in for BlackBerry's "
    "deploy tool. To reach a real device, click \"Simulator\" in the connection panel and choose "
    "the folder that holds BarDeploy.jar.");
// Added to the title while the bundled simulator is the tool.
inline const QString SimulatorTitleNote = QStringLiteral(" [device simulator]");
inline const QString DefaultDevicePicture = QStringLiteral(":/kestrane/device-default.jpg");
// What a device command not sent for the last password attempt tells the window's user to do.
inline const QString LastAttemptAdvice =
    QStringLiteral("Check the password, then connect again: Kestrane asks before it sends it.");
inline const QString StopCommandsQuestion =
    QStringLiteral("A device command is still running. Stop it and close the window?");
inline const QString DevelopmentModeHelp =
    QStringLiteral("Go to Settings -> Security and Privacy -> Development Mode") +
    QLatin1Char('\r') + QStringLiteral("Set \"Use Development Mode\" to On");

} // namespace kestrane
