// Submission is a queued call on the application object, which lives on the main thread:
// Qt appends posted events to one list per receiving thread under its lock, so blocks from
// several threads keep the order in which they were posted.
#include "MainQueue.h"

#include "Log.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace toolkit {

void MainQueue::async(std::function<void()> block) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        Log::line("MainQueue: no application object, block dropped");
        return;
    }
    QMetaObject::invokeMethod(application, std::move(block), Qt::QueuedConnection);
}

} // namespace toolkit
