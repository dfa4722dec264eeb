// Views: y-up frames on top of Qt's widget tree, drawing passes and mouse events.
#include "View.h"

#include "QtGraphicsContext.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace toolkit {

View::View(Rect frame) : QWidget(nullptr) {
    setFrame(frame);
}

View::~View() = default;

View* View::superview() const {
    return dynamic_cast<View*>(parentWidget());
}

std::vector<View*> View::subviews() const {
    std::vector<View*> result;
    for (QObject* child : children()) {
        if (View* view = dynamic_cast<View*>(child)) {
            result.push_back(view);
        }
    }
    return result;
}

View* View::rootView() {
    View* view = this;
    while (View* parent = view->superview()) {
        view = parent;
    }
    return view;
}

void View::setFrame(Rect frame) {
    const bool resized = !(frame.size == frameRect.size);
    frameRect = frame;
    placeInParent();
    placeSubviews();
    if (resized) {
        updateTrackingAreas();
    }
}

void View::setFrameOrigin(Point origin) {
    setFrame(Rect{origin, frameRect.size});
}

void View::setFrameSize(Size size) {
    setFrame(Rect{frameRect.origin, size});
}

void View::placeInParent() {
    if (View* parent = superview()) {
        // The exact top-left corner in the parent widget's pixels, y down.
        const double x = parent->inset.x() + frameRect.minX();
        const double y = parent->inset.y() + parent->frameRect.height() - frameRect.maxY();
        const double left = std::floor(x), top = std::floor(y);
        inset = QPointF(x - left, y - top);
        const int width = static_cast<int>(std::ceil(inset.x() + frameRect.width()));
        const int height = static_cast<int>(std::ceil(inset.y() + frameRect.height()));
        setGeometry(static_cast<int>(left), static_cast<int>(top), width, height);
        return;
    }
    // A content view: whole pixels, no offset. Inside a plain Qt parent it keeps its distance
    // from the parent's bottom edge; on its own it only takes its size.
    inset = QPointF();
    const int width = static_cast<int>(std::ceil(frameRect.width()));
    const int height = static_cast<int>(std::ceil(frameRect.height()));
    if (QWidget* parent = parentWidget()) {
        const int x = static_cast<int>(std::lround(frameRect.minX()));
        const int y = static_cast<int>(std::lround(parent->height() - frameRect.maxY()));
        setGeometry(x, y, width, height);
    } else {
        resize(width, height);
    }
}

void View::placeSubviews() {
    for (View* subview : subviews()) {
        subview->placeInParent();
        subview->placeSubviews();
    }
}

void View::addSubview(View* subview) {
    if (subview == nullptr || subview == this) {
        return;
    }
    subview->setParent(this);
    subview->placeInParent();
    subview->placeSubviews();
    subview->raise();
    subview->show();
    subview->updateTrackingAreas();
}

void View::removeFromSuperview() {
    if (superview() != nullptr) {
        hide();
        setParent(nullptr);
        placeInParent();
    }
}

void View::display() {
    repaint();
}

void View::setNeedsDisplay() {
    update();
}

void View::draw(Rect) {}

void View::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(inset.x(), inset.y() + frameRect.height());
    painter.scale(1.0, -1.0);
    QtGraphicsContext context(painter, frameRect.height());
    draw(bounds());
}

void View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Only a content view is sized from outside (by a window or a layout); keep its frame true.
    if (isRoot()) {
        const bool sizeMatches = width() == static_cast<int>(std::ceil(frameRect.width())) &&
                                 height() == static_cast<int>(std::ceil(frameRect.height()));
        if (!sizeMatches) {
            frameRect.size = Size{static_cast<double>(width()), static_cast<double>(height())};
            placeSubviews();
            updateTrackingAreas();
        }
    }
}

Point View::convertPointFromWindow(Point pointInWindow) const {
    Point p = pointInWindow;
    for (const View* view = this; view->superview() != nullptr; view = view->superview()) {
        p.x -= view->frameRect.minX();
        p.y -= view->frameRect.minY();
    }
    return p;
}

Point View::convertPointToWindow(Point pointInView) const {
    Point p = pointInView;
    for (const View* view = this; view->superview() != nullptr; view = view->superview()) {
        p.x += view->frameRect.minX();
        p.y += view->frameRect.minY();
    }
    return p;
}

MouseEvent View::makeEvent(const QPointF& position, int clickCount) {
    // Widget pixels, y down, to this view's y-up points, then up to the window.
    const Point inView{position.x() - inset.x(), frameRect.height() - (position.y() - inset.y())};
    return MouseEvent{convertPointToWindow(inView), clickCount};
}

int View::countClick(const QMouseEvent* event) {
    // Qt announces a double click only after the second press has been delivered; the
    // controls need the count with the press itself, so it is counted here by Qt's own rules.
    const QStyleHints* hints = QGuiApplication::styleHints();
    const quint64 interval = static_cast<quint64>(hints->mouseDoubleClickInterval());
    const double distance = hints->mouseDoubleClickDistance();
    const QPointF global = event->globalPosition();
    const bool sameRun = lastClickCount > 0 &&
                         static_cast<int>(event->button()) == lastPressButton &&
                         event->timestamp() - lastPressTimestamp <= interval &&
                         std::fabs(global.x() - lastPressGlobal.x()) <= distance &&
                         std::fabs(global.y() - lastPressGlobal.y()) <= distance;
    lastClickCount = sameRun ? lastClickCount + 1 : 1;
    lastPressTimestamp = event->timestamp();
    lastPressGlobal = global;
    lastPressButton = static_cast<int>(event->button());
    return lastClickCount;
}

void View::deliver(QMouseEvent* event, void (View::*handler)(const MouseEvent&), int clickCount) {
    passedOn = false;
    (this->*handler)(makeEvent(event->position(), clickCount));
    // An ignored event travels on to the parent widget: the responder chain.
    event->setAccepted(!passedOn);
}

void View::mousePressEvent(QMouseEvent* event) {
    deliver(event, &View::mouseDown, countClick(event));
}

void View::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt delivers the second press of a double click as this event instead of a press.
    if (lastClickCount > 0 && event->timestamp() == lastPressTimestamp &&
        event->globalPosition() == lastPressGlobal) {
        event->accept(); // this very press was already delivered
        return;
    }
    mousePressEvent(event);
}

void View::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton) {
        deliver(event, &View::mouseDragged, lastClickCount);
        return;
    }
    const MouseEvent moved = makeEvent(event->position(), 0);
    if (wantsMouseMoved(convertPointFromWindow(moved.locationInWindow))) {
        deliver(event, &View::mouseMoved, 0);
    } else {
        event->ignore();
    }
}

void View::mouseReleaseEvent(QMouseEvent* event) {
    deliver(event, &View::mouseUp, lastClickCount);
}

void View::enterEvent(QEnterEvent* event) {
    if (wantsEnterAndExit()) {
        mouseEntered(makeEvent(event->position(), 0));
    }
}

void View::leaveEvent(QEvent*) {
    if (wantsEnterAndExit()) {
        mouseExited(MouseEvent{Point{}, 0});
    }
}

void View::wheelEvent(QWheelEvent* event) {
    passedOn = false;
    const QPoint angle = event->angleDelta();
    scrollWheel(ScrollEvent{makeEvent(event->position(), 0).locationInWindow,
                            static_cast<double>(angle.x()), static_cast<double>(angle.y()),
                            event->inverted()});
    event->setAccepted(!passedOn);
}

void View::deliverKey(QKeyEvent* event, void (View::*handler)(const KeyEvent&)) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    unsigned flags = 0;
    flags |= mods.testFlag(Qt::ShiftModifier) ? KeyEvent::Shift : 0u;
    flags |= mods.testFlag(Qt::ControlModifier) ? KeyEvent::Control : 0u;
    flags |= mods.testFlag(Qt::AltModifier) ? KeyEvent::Alternate : 0u;
    flags |= mods.testFlag(Qt::MetaModifier) ? KeyEvent::Command : 0u;
    passedOn = false;
    (this->*handler)(KeyEvent{event->nativeScanCode(), event->key(), flags, event->isAutoRepeat()});
    event->setAccepted(!passedOn);
}

void View::keyPressEvent(QKeyEvent* event) {
    deliverKey(event, &View::keyDown);
}

void View::keyReleaseEvent(QKeyEvent* event) {
    deliverKey(event, &View::keyUp);
}

void View::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    keyFocusLost();
}

void View::setAcceptsFirstResponder(bool accepts) {
    setFocusPolicy(accepts ? Qt::StrongFocus : Qt::NoFocus);
}

bool View::acceptsFirstResponder() const {
    return focusPolicy() != Qt::NoFocus;
}

void View::mouseDown(const MouseEvent&) {
    passToSuperview();
}
void View::mouseDragged(const MouseEvent&) {
    passToSuperview();
}
void View::mouseUp(const MouseEvent&) {
    passToSuperview();
}
void View::mouseMoved(const MouseEvent&) {
    passToSuperview();
}
void View::scrollWheel(const ScrollEvent&) {
    passToSuperview();
}
void View::keyDown(const KeyEvent&) {
    passToSuperview();
}
void View::keyUp(const KeyEvent&) {
    passToSuperview();
}
void View::mouseEntered(const MouseEvent&) {}
void View::mouseExited(const MouseEvent&) {}

void View::addTrackingArea(TrackingArea* area) {
    if (area == nullptr || std::find(areas.begin(), areas.end(), area) != areas.end()) {
        return;
    }
    areas.push_back(area);
    setMouseTracking(std::any_of(areas.begin(), areas.end(), [](const TrackingArea* a) {
        return (a->options() & TrackingArea::MouseMoved) != 0;
    }));
}

void View::removeTrackingArea(TrackingArea* area) {
    areas.erase(std::remove(areas.begin(), areas.end(), area), areas.end());
    setMouseTracking(std::any_of(areas.begin(), areas.end(), [](const TrackingArea* a) {
        return (a->options() & TrackingArea::MouseMoved) != 0;
    }));
}

bool View::wantsMouseMoved(Point pointInView) const {
    return std::any_of(areas.begin(), areas.end(), [pointInView](const TrackingArea* a) {
        return (a->options() & TrackingArea::MouseMoved) != 0 && a->rect().contains(pointInView);
    });
}

bool View::wantsEnterAndExit() const {
    return std::any_of(areas.begin(), areas.end(), [](const TrackingArea* a) {
        return (a->options() & TrackingArea::MouseEnteredAndExited) != 0;
    });
}

void View::trackWholeBounds(std::unique_ptr<TrackingArea>& area) {
    if (area)
        removeTrackingArea(area.get());
    area = std::make_unique<TrackingArea>(
        bounds(),
        TrackingArea::ActiveAlways | TrackingArea::MouseEnteredAndExited | TrackingArea::MouseMoved,
        this);
    addTrackingArea(area.get());
}

} // namespace toolkit
