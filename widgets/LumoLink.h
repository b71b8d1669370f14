#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// How a kit control follows another control (LinkedTo): the other control's enabling,
// moves, resizes and destruction reach the follower through an event filter, so before
// that control handles them. The link is undone when it ends or either side goes away.
class TLumoControlLink : public QObject {
public:
    explicit TLumoControlLink(QWidget& follower);
    ~TLumoControlLink() override;
    TLumoControlLink(const TLumoControlLink&) = delete;
    TLumoControlLink& operator=(const TLumoControlLink&) = delete;

    QWidget* Target() const { return m_target.data(); }
    // Ends any earlier link; links to `target` (none for nullptr) and records the
    // follower's offsets from it.
    void SetTarget(QWidget* target);
    // The follower was resized: the offsets are taken anew from the current positions.
    void RecordOffsets();
    int LeftOffset() const { return m_leftOffset; }
    int TopOffset() const { return m_topOffset; }

    // The linked control was enabled or disabled.
    std::function<void(bool enabled)> OnEnabledChanged;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void unlink();

    QWidget& m_follower;
    QPointer<QWidget> m_target;
    QMetaObject::Connection m_destroyed;
    int m_leftOffset = 0;
    int m_topOffset = 0;
};
