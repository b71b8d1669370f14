#include "widgets/LumoLink.h"

#include <QEvent>

TLumoControlLink::TLumoControlLink(QWidget& follower) : m_follower(follower) {}

TLumoControlLink::~TLumoControlLink() {
    unlink();
}

void TLumoControlLink::unlink() {
    if (m_target) {
        m_target->removeEventFilter(this);
    }
    QObject::disconnect(m_destroyed);
    m_target = nullptr;
}

void TLumoControlLink::SetTarget(QWidget* target) {
    if (target == m_target.data()) {
        return;
    }
    unlink();
    if (target == nullptr || target == &m_follower) {
        return;
    }
    m_target = target;
    target->installEventFilter(this);
    // The control going away ends the link; nothing of it is touched afterwards.
    m_destroyed = QObject::connect(target, &QObject::destroyed, this, [this] {
        QObject::disconnect(m_destroyed);
        m_target = nullptr;
    });
    RecordOffsets();
}

void TLumoControlLink::RecordOffsets() {
    if (m_target) {
        m_leftOffset = m_follower.x() - m_target->x();
        m_topOffset = m_follower.y() - m_target->y();
    }
}

bool TLumoControlLink::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_target.data()) {
        switch (event->type()) {
            case QEvent::EnabledChange:
                if (OnEnabledChanged) {
                    OnEnabledChanged(m_target->isEnabled());
                }
                break;
            case QEvent::Move:
            case QEvent::Resize:
                m_follower.move(m_target->x() + m_leftOffset, m_target->y() + m_topOffset);
                break;
            default:
                break;
        }
    }
    return false;
}
