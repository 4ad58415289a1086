#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace kestrane {

// Keeps children at fixed distances from the edges of their parent they are anchored to when
// the parent changes size: anchored left and right, a child stretches; anchored right only, it
// moves with the right edge; likewise for top and bottom. The distances are those at the moment
// a child is anchored.
class Anchors : public QObject {
    Q_OBJECT
public:
    explicit Anchors(QWidget* parent);

    void anchor(QWidget* child, Qt::Edges edges);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Anchored {
        QPointer<QWidget> child;
        Qt::Edges edges;
        QRect designGeometry;
        QSize designParentSize;
    };

    void follow(const Anchored& anchored) const;

    QWidget* parent_;
    std::vector<Anchored> children_;
};

} // namespace kestrane
