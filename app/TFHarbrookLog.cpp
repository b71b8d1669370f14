// The main window's message log pane: what the main and the workers' connections said,
// shown below the transfer list.

#include "app/TFHarbrook.h"

#include <QScrollBar>

#include "engine/MessageLog.h"
#include "platform/qt/QtDialogs.h"

void TFHarbrook::ToggleMessageLog() {
    MessageLogList->setVisible(MessageLogList->isHidden());
    LogGrip->setVisible(!MessageLogList->isHidden());
    LogButton->setChecked(!MessageLogList->isHidden());
    if (!MessageLogList->isHidden()) {
        ShowNewLogLines();
        MessageLogList->scrollToBottom();
    }
}

void TFHarbrook::ShowNewLogLines() {
    const std::vector<LogLine> lines = MessageLog().Since(m_logShown);
    if (lines.empty()) {
        return;
    }
    m_logShown = lines.back().number;
    // Only the last lines are kept: the oldest shown make room, in one step.
    const int keep = static_cast<int>(TMessageLog::kMaxLines);
    const int incoming = static_cast<int>(lines.size());
    if (incoming >= keep) {
        MessageLogList->clear();
    } else if (MessageLogList->count() + incoming > keep) {
        MessageLogList->model()->removeRows(0, MessageLogList->count() + incoming - keep);
    }
    const bool atBottom = MessageLogList->verticalScrollBar()->value() == MessageLogList->verticalScrollBar()->maximum();
    const std::size_t first = lines.size() > TMessageLog::kMaxLines ? lines.size() - TMessageLog::kMaxLines : 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(harbrook::DisplayText(LogLineText(lines[i])));
        switch (lines[i].kind) {
            case LogLine::Kind::Command: item->setForeground(QColor(0x00, 0x00, 0x80)); break;
            case LogLine::Kind::Reply: item->setForeground(QColor(0x00, 0x60, 0x00)); break;
            case LogLine::Kind::Error: item->setForeground(QColor(0xC0, 0x00, 0x00)); break;
        }
        MessageLogList->addItem(item);
    }
    if (atBottom) {
        MessageLogList->scrollToBottom();
    }
}
