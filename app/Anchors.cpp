#include "Anchors.h"

#include <QEvent>

#include <algorithm>

namespace kestrane {
namespace {

// One axis: the child's start and length for a parent length, given the design values.
std::pair<int, int> Follow(bool nearEdge, bool farEdge, int start, int length, int designParent,
                           int parent) {
    const int growth = parent - designParent;
    if (nearEdge && farEdge) {
        return {start, std::max(0, length + growth)};
    }
    if (farEdge) {
        return {start + growth, length};
    }
    return {start, length};
}

} // namespace

Anchors::Anchors(QWidget* parent) : QObject(parent), parent_(parent) {
    parent->installEventFilter(this);
}

void Anchors::anchor(QWidget* child, Qt::Edges edges) {
    children_.push_back({child, edges, child->geometry(), parent_->size()});
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent_ && event->type() == QEvent::Resize) {
        for (const Anchored& anchored : children_) {
            follow(anchored);
        }
    }
    return false;
}

void Anchors::follow(const Anchored& anchored) const {
    if (!anchored.child) {
        return;
    }
    const QRect& design = anchored.designGeometry;
    const auto [left, width] =
        Follow(anchored.edges.testFlag(Qt::LeftEdge), anchored.edges.testFlag(Qt::RightEdge),
               design.left(), design.width(), anchored.designParentSize.width(), parent_->width());
    const auto [top, height] = Follow(
        anchored.edges.testFlag(Qt::TopEdge), anchored.edges.testFlag(Qt::BottomEdge), design.top(),
        design.height(), anchored.designParentSize.height(), parent_->height());
    anchored.child->setGeometry(left, top, width, height);
}

} // namespace kestrane
