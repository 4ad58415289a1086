// The install screen's queue of BAR files and the installation run.

#include "BarInfo.h"
#include "BarList.h"
#include "CaptionOrder.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "InstallPreflight.h"
#include "InstallProgress.h"
#include "InstallRun.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TfrmBB10.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

Q_DECLARE_METATYPE(kestrane::BarInfo)

namespace kestrane {
namespace {

constexpr int StatusColumn = BarColumn::Status;
// Sub-items count from the Version column.
constexpr int StatusSubItem = BarColumn::Status - BarColumn::Version;
constexpr int PathSubItem = BarColumn::Path - BarColumn::Version;
constexpr int SubItemsRole = BarSubItemsRole;
constexpr int ProgressRole = BarProgressRole;

BarRow RowOf(const QTreeWidgetItem* item) {
    return {item->text(0), item->data(0, SubItemsRole).toStringList()};
}

void SetRow(QTreeWidgetItem* item, const BarRow& row) {
    item->setText(0, row.name);
    item->setData(0, SubItemsRole, row.subItems);
    for (int column = 1; column <= StatusColumn; ++column)
        item->setText(column, row.subItems.value(column - 1));
}

void SetStatus(QTreeWidgetItem* item, const QString& status) {
    BarRow row = RowOf(item);
    while (row.subItems.size() <= StatusSubItem)
        row.subItems.append(QString());
    row.subItems[StatusSubItem] = status;
    SetRow(item, row);
}

// What column 0 keeps besides the texts, and the Status cell's tooltip: all that moves with a
// row's texts when rows trade places.
struct RowExtras {
    QVariant manifest;
    QVariant note;
    QString statusTip;
};

RowExtras ExtrasOf(const QTreeWidgetItem* item) {
    return {item->data(0, BarManifestRole), item->data(0, BarNoteRole),
            item->toolTip(StatusColumn)};
}

void SetExtras(QTreeWidgetItem* item, const RowExtras& extras) {
    item->setData(0, BarManifestRole, extras.manifest);
    item->setData(0, BarNoteRole, extras.note);
    item->setToolTip(StatusColumn, extras.statusTip);
}

// The run's item for a row; a row without a manifest (none was read) installs plainly.
InstallRun::Item InstallItemOf(const QTreeWidgetItem* item, const BarRow& row) {
    const QVariant manifest = item->data(0, BarManifestRole);
    if (!manifest.isValid())
        return {row.name, row.subItems.value(PathSubItem)};
    return InstallItemFor(row.name, row.subItems.value(PathSubItem), manifest.value<BarInfo>());
}

QList<QTreeWidgetItem*> TakeAllRows(QTreeWidget* list) {
    QList<QTreeWidgetItem*> items;
    for (int i = list->topLevelItemCount() - 1; i >= 0; --i)
        items.prepend(list->takeTopLevelItem(i));
    return items;
}

// Puts every row in the order less gives (ties keep their order); selected rows stay selected.
template <class Less> void ReorderRows(QTreeWidget* list, Less less) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    QTreeWidgetItem* current = list->currentItem();
    QList<QTreeWidgetItem*> items = TakeAllRows(list);
    std::stable_sort(items.begin(), items.end(), less);
    list->addTopLevelItems(items);
    for (QTreeWidgetItem* item : selected)
        item->setSelected(true);
    if (current != nullptr)
        list->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
}

bool ByName(const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return NameOrderLess(a->text(0), b->text(0));
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Draws a progress bar in the Status cell of the row being installed, with its status text.
class StatusCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant progress = index.data(ProgressRole);
        if (!progress.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(1, 1, -1, -1);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = std::clamp(progress.toInt(), 0, 100);
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.state = option.state | QStyle::State_Horizontal;
        bar.palette = option.palette;
        bar.fontMetrics = option.fontMetrics;
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }
};

} // namespace

// ---- Adding rows ------------------------------------------------------------------------------

void TfrmBB10::btnAddBarClick() {
    if (InstallRunning())
        return;
    if (BarFolder.isEmpty())
        BarFolder = QDir::homePath();
    OpenDialog1->setTitle(QStringLiteral("Select PlayBook BAR files"));
    OpenDialog1->setFilter(QStringLiteral("BAR file|*.bar"));
    OpenDialog1->setInitialDir(BarFolder);
    if (!OpenDialog1->execute())
        return;
    // Whatever file was chosen is tried, also one with another extension.
    for (const QString& path : OpenDialog1->files()) {
        BarFolder = QFileInfo(path).absolutePath();
        AddBarFile(path);
    }
}

void TfrmBB10::WMDropFiles(const QStringList& paths) {
    // Dropping is one of the list's editing actions: no rows come in while an installation runs.
    if (InstallRunning() || paths.isEmpty())
        return;
    activateWindow();
    raise();
    for (const QString& path : paths) {
        if (HasBarExtension(path))
            AddBarFile(path);
    }
}

void TfrmBB10::AddBarFile(const QString& path) {
    const std::string localPath = LocalPath(path);
    const BarInfo info = ReadBarInfo(ZipArchive1, localPath);
    const QString name = BarDisplayName(info);
    if (FindListItem(lstBarFile, name, 0))
        return;
    const qint64 size = GetFileSizeByName(localPath);
    auto* item = new QTreeWidgetItem;
    SetRow(item, {name,
                  {QString::fromStdString(info.AppVersion), QString::number(size),
                   BarTypeText(info), path}});
    item->setData(0, BarManifestRole, QVariant::fromValue(info));
    ShowBarNote(item);
    InsertInNameOrder(item);
}

// The row's note for the connected device, in a Status cell that shows no run's result.
void TfrmBB10::ShowBarNote(QTreeWidgetItem* item) {
    const QVariant manifest = item->data(0, BarManifestRole);
    const QString shown = item->text(StatusColumn);
    if (!manifest.isValid() || (!shown.isEmpty() && shown != item->data(0, BarNoteRole).toString()))
        return;
    const BarNote note =
        BarNoteForDevice(manifest.value<BarInfo>(), connectedInfo_, QDate::currentDate());
    if (note.text.isEmpty())
        ClearBarNote(item);
    else
        SetStatus(item, note.text);
    item->setData(0, BarNoteRole, note.text);
    item->setToolTip(StatusColumn, note.detail);
}

// A note is no result: the row goes back to having no status at all, so that a run's
// "Loading..." shows in the Status column as it does on a row never installed.
void TfrmBB10::ClearBarNote(QTreeWidgetItem* item) {
    const QString note = item->data(0, BarNoteRole).toString();
    if (note.isEmpty() || item->text(StatusColumn) != note)
        return;
    BarRow row = RowOf(item);
    row.subItems = row.subItems.mid(0, StatusSubItem);
    SetRow(item, row);
    item->setData(0, BarNoteRole, QVariant());
    item->setToolTip(StatusColumn, QString());
}

void TfrmBB10::RefreshBarNotes() {
    for (int i = 0; i < lstBarFile->topLevelItemCount(); ++i)
        ShowBarNote(lstBarFile->topLevelItem(i));
}

// A named row restores the name order; a row without a name stays last until the next one.
void TfrmBB10::InsertInNameOrder(QTreeWidgetItem* item) {
    if (item->text(0).isEmpty()) {
        lstBarFile->addTopLevelItem(item);
        nameOrdered_ = lstBarFile->topLevelItemCount() == 1;
        return;
    }
    if (!nameOrdered_) {
        lstBarFile->addTopLevelItem(item);
        ReorderRows(lstBarFile, ByName);
        nameOrdered_ = true;
        return;
    }
    // The rows are in order already: the new one goes after every row that does not come after
    // it, where a stable sort of the whole list would put it.
    static const QCollator order = CaptionCollator();
    const qsizetype position = SortedInsertPosition(
        lstBarFile->topLevelItemCount(),
        [this](qsizetype index) {
            return lstBarFile->topLevelItem(static_cast<int>(index))->text(0);
        },
        item->text(0), order);
    lstBarFile->insertTopLevelItem(static_cast<int>(position), item);
}

bool TfrmBB10::FindListItem(QTreeWidget* list, const QString& text, int startIndex) {
    QStringList names;
    names.reserve(list->topLevelItemCount());
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names.append(list->topLevelItem(i)->text(0));
    const qsizetype found = FindContainingName(names, text, startIndex);
    if (found < 0)
        return false;
    QTreeWidgetItem* item = list->topLevelItem(static_cast<int>(found));
    item->setSelected(true);
    list->scrollToItem(item);
    list->setFocus();
    return true;
}

// ---- Ordering and removing --------------------------------------------------------------------

void TfrmBB10::lstBarFileColumnClick(int column) {
    if (InstallRunning())
        return;
    ApplyColumnClick(SortColumn, SortAscending, column);
    const bool ascending = SortAscending;
    ReorderRows(lstBarFile,
                [column, ascending](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
                    return CompareBarItems(RowOf(a), RowOf(b), column, ascending) < 0;
                });
    nameOrdered_ = false;
}

void TfrmBB10::lvExchangeItems(QTreeWidget* lv, int i, int j) {
    lv->setUpdatesEnabled(false);
    QTreeWidgetItem* first = lv->topLevelItem(i);
    QTreeWidgetItem* second = lv->topLevelItem(j);
    const BarRow scratch = RowOf(first);
    const QVariant scratchProgress = first->data(StatusColumn, ProgressRole);
    const RowExtras scratchExtras = ExtrasOf(first);
    SetRow(first, RowOf(second));
    first->setData(StatusColumn, ProgressRole, second->data(StatusColumn, ProgressRole));
    SetExtras(first, ExtrasOf(second));
    SetRow(second, scratch);
    second->setData(StatusColumn, ProgressRole, scratchProgress);
    SetExtras(second, scratchExtras);
    lv->setUpdatesEnabled(true);
}

namespace {

int FirstSelectedRow(const QTreeWidget* list) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected())
            return i;
    return -1;
}

} // namespace

// Moves the first selected row one place up (-1) or down (+1); the selection moves with it.
void TfrmBB10::MoveSelectedBarRow(int step) {
    const int row = FirstSelectedRow(lstBarFile);
    const int target = row + step;
    if (InstallRunning() || row < 0 || target < 0 || target >= lstBarFile->topLevelItemCount())
        return;
    lvExchangeItems(lstBarFile, row, target);
    lstBarFile->topLevelItem(row)->setSelected(false);
    lstBarFile->topLevelItem(target)->setSelected(true);
    nameOrdered_ = false;
}

void TfrmBB10::btnUpClick() {
    MoveSelectedBarRow(-1);
}

void TfrmBB10::btnDownClick() {
    MoveSelectedBarRow(+1);
}

void TfrmBB10::btnClearListClick() {
    if (InstallRunning())
        return;
    lstBarFile->clear();
    nameOrdered_ = true;
}

void TfrmBB10::RemoveSelectedItems1Click() {
    if (InstallRunning())
        return;
    for (int i = lstBarFile->topLevelItemCount() - 1; i >= 0; --i)
        if (lstBarFile->topLevelItem(i)->isSelected())
            delete lstBarFile->takeTopLevelItem(i);
}

// ---- The installation run ---------------------------------------------------------------------

QList<QWidget*> TfrmBB10::InstallHeldBack() const {
    return {btnInstallBar, btnAddBar, btnUp, btnDown, btnClearList};
}

void TfrmBB10::btnInstallBarClick() {
    if (InstallRunning())
        return;
    // An empty list runs nothing: only the missing runtime is reported.
    if (lstBarFile->topLevelItemCount() == 0) {
        const QString missingJava = JavaRuntimeMissingMessage(JavaBinDir);
        if (!missingJava.isEmpty())
            MessageBox::plain(this, missingJava);
        return;
    }
    if (!ReadyForDeviceCommand(connectedTarget_.address))
        return;
    // The runtime's folder stays the program's current folder.
    QDir::setCurrent(JavaBinDir);
    lstBarFile->clearSelection();
    if (lstBarFile->itemDelegateForColumn(StatusColumn) == nullptr)
        lstBarFile->setItemDelegateForColumn(StatusColumn, new StatusCellDelegate(lstBarFile));
    QList<InstallRun::Item> items;
    for (int index = 0; index < lstBarFile->topLevelItemCount(); ++index) {
        QTreeWidgetItem* item = lstBarFile->topLevelItem(index);
        ClearBarNote(item);
        items.append(InstallItemOf(item, RowOf(item)));
    }
    // A debug token installed changes what the device reports of its token.
    auto tokenInstalled = std::make_shared<bool>(false);
    RemoveSelectedItems1->setEnabled(false);

    InstallRun::Callbacks callbacks;
    callbacks.started = [this](int index, ConsoleJob*) { ShowInstallRowStarted(index); };
    // A line with a progress marker goes through the memo, whose change runs the parser. The
    // memo holds only that line: the whole output comes with the result.
    callbacks.progressLine = [this](const QString& line) {
        Memo1->clear();
        Memo1->append(line);
    };
    callbacks.progressed = [this](int index, int percent, const QString& status) {
        InstallProgress = percent;
        QTreeWidgetItem* item = lstBarFile->topLevelItem(index);
        SetStatus(item, status);
        item->setData(StatusColumn, ProgressRole, percent);
    };
    callbacks.finished = [this, items, tokenInstalled](int index, bool succeeded,
                                                       const QString& status,
                                                       const CommandVerdict& failure,
                                                       const std::optional<LaunchOutcome>& launch) {
        QTreeWidgetItem* item = lstBarFile->topLevelItem(index);
        item->setData(StatusColumn, ProgressRole, QVariant());
        SetStatus(item, status);
        item->setData(0, BarNoteRole, QVariant());
        // The cell is too narrow for a launch's outcome or a failure's reason: the tooltip has it.
        item->setToolTip(StatusColumn, !succeeded ? failure.reason
                                       : launch   ? LaunchOutcomeDetail(*launch)
                                                  : status);
        if (succeeded && items[index].debugToken)
            *tokenInstalled = true;
    };
    // A row the device's list does not show as installed says so, in the cell and its tooltip.
    callbacks.confirmed = [this](int index, const InstallConfirmation& confirmation) {
        const QString status = InstallConfirmationStatus(confirmation);
        if (status.isEmpty())
            return;
        QTreeWidgetItem* item = lstBarFile->topLevelItem(index);
        // A launch's outcome stays in the tooltip, below what the list says.
        const QString launch = item->toolTip(StatusColumn);
        SetStatus(item, status);
        item->setToolTip(StatusColumn, launch.isEmpty() || launch == InstallDoneStatus
                                           ? status
                                           : status + QLatin1Char('\n') + launch);
    };
    callbacks.decide = [this](int, const CommandVerdict& failure) {
        const MessageBox::Button answer =
            MessageBox::show(this, {MessageBox::Kind::Warning, QStringLiteral("Warning"),
                                    WithDeployToolNote(failure.errorText),
                                    MessageBox::Abort | MessageBox::Ignore, failure.details});
        return answer == MessageBox::Abort ? InstallRun::Decision::Abort
                                           : InstallRun::Decision::Ignore;
    };
    callbacks.ended = [this, tokenInstalled](bool aborted, const QString& summary) {
        RemoveSelectedItems1->setEnabled(true);
        if (!aborted)
            MessageBox::plain(this, summary);
        if (*tokenInstalled)
            RereadDeviceInfo();
    };
    InstallRun::Options options;
    options.launch = cbLaunchAfterInstall->isChecked();
    options.silenceLimit = deviceCommands().silenceLimits().installation;
    options.listingSilenceLimit = deviceCommands().silenceLimits().device;
    installRun_ = InstallRun::Start(deviceCommands().starter(JavaBinDir, InstallHeldBack(), false),
                                    DeviceContextInUse(), connectedTarget_, std::move(items),
                                    options, std::move(callbacks));
}

void TfrmBB10::cbLaunchAfterInstallClick() {
    KestraneSettings().setValue(LaunchAfterInstallKey, cbLaunchAfterInstall->isChecked());
}

// A row installed before keeps showing its last result until new progress arrives; the new
// "Loading..." then lies beyond the Status column.
void TfrmBB10::ShowInstallRowStarted(int index) {
    QTreeWidgetItem* item = lstBarFile->topLevelItem(index);
    InstallIndex = index;
    BarRow loading = RowOf(item);
    loading.subItems.append(InstallLoadingStatus);
    SetRow(item, loading);
    InstallProgress = 0;
    item->setSelected(true);
    lstBarFile->scrollToItem(item);
    Memo1->clear();
}

void TfrmBB10::Memo1Change() {
    if (!InstallRunning() || Memo1->lines().isEmpty())
        return;
    installRun_->readProgressLine(Memo1->lines().constLast());
}

} // namespace kestrane
