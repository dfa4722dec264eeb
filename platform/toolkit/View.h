// The toolkit layer's view: a Qt widget that speaks in y-up points.
//
// A view's frame is a rectangle of doubles in its parent view's coordinates, origin at the
// parent's lower-left corner; its own coordinates (bounds) start at its lower-left corner.
// Qt widgets sit on whole pixels with y down, so each view occupies the smallest widget that
// encloses its exact frame and its painter is shifted by the fraction left over: what is drawn
// lands where the frame says, at any device pixel ratio. The outermost view of a window is
// its content view, and its coordinates are the window coordinates that mouse events report.
//
// Mouse, wheel and key handlers a view does not override pass the event on to the parent
// view, so a container (the keyboard) receives what its children (the keys) do not handle.
// Keys go first to the view with key focus: one that accepts it gets it when clicked, and the
// first such view of a window gets it when the window becomes active.
#pragma once

#include "Geometry.h"
#include "KeyEvent.h"
#include "MouseEvent.h"
#include "ScrollEvent.h"
#include "TrackingArea.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace toolkit {

class View : public QWidget {
public:
    explicit View(Rect frame = {});
    ~View() override;

    Rect frame() const { return frameRect; }
    void setFrame(Rect frame);
    void setFrameOrigin(Point origin);
    void setFrameSize(Size size);
    Rect bounds() const { return Rect{Point{}, frameRect.size}; }

    // Places `subview` on top of the existing ones; the parent owns it from then on.
    void addSubview(View* subview);
    void removeFromSuperview();
    View* superview() const;
    std::vector<View*> subviews() const;
    // The outermost view of the chain: the window's content view.
    View* rootView();

    // Redraws now (when the view is shown); setNeedsDisplay redraws at the next paint.
    void display();
    void setNeedsDisplay();

    // Draws the view in its own coordinates into the current graphics context.
    virtual void draw(Rect dirtyRect);
    virtual bool isOpaque() const { return false; }

    virtual void mouseDown(const MouseEvent& event);
    virtual void mouseDragged(const MouseEvent& event);
    virtual void mouseUp(const MouseEvent& event);
    virtual void mouseMoved(const MouseEvent& event);
    virtual void mouseEntered(const MouseEvent& event);
    virtual void mouseExited(const MouseEvent& event);
    virtual void scrollWheel(const ScrollEvent& event);

    virtual void keyDown(const KeyEvent& event);
    virtual void keyUp(const KeyEvent& event);
    // The view stopped taking keys: key focus moved elsewhere or its window went to the
    // background. The releases of keys held now will not reach it. A window that is minimised
    // but stays active calls it too.
    virtual void keyFocusLost() {}
    void setAcceptsFirstResponder(bool accepts);
    bool acceptsFirstResponder() const;

    // Called when the view's size changes and when it enters a parent, to renew its areas.
    virtual void updateTrackingAreas() {}
    // The view does not own the areas; their owner removes them before deleting them.
    void addTrackingArea(TrackingArea* area);
    void removeTrackingArea(TrackingArea* area);
    const std::vector<TrackingArea*>& trackingAreas() const { return areas; }
    // Replaces `area` (if any) by one over the whole bounds that reports entering, leaving and
    // moving at all times: what a control needs to follow the pointer after a resize.
    void trackWholeBounds(std::unique_ptr<TrackingArea>& area);

    Point convertPointFromWindow(Point pointInWindow) const;
    Point convertPointToWindow(Point pointInView) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool isRoot() const { return superview() == nullptr; }
    void placeInParent();
    void placeSubviews();
    MouseEvent makeEvent(const QPointF& position, int clickCount);
    int countClick(const QMouseEvent* event);
    void deliver(QMouseEvent* event, void (View::*handler)(const MouseEvent&), int clickCount);
    void deliverKey(QKeyEvent* event, void (View::*handler)(const KeyEvent&));
    void passToSuperview() { passedOn = true; }
    bool wantsMouseMoved(Point pointInView) const;
    bool wantsEnterAndExit() const;

    Rect frameRect;
    // Offset of the exact frame's top-left corner inside the widget, in [0, 1) pixels.
    QPointF inset;
    std::vector<TrackingArea*> areas;
    bool passedOn = false;
    int lastClickCount = 0;
    quint64 lastPressTimestamp = 0;
    QPointF lastPressGlobal;
    int lastPressButton = 0;
};

} // namespace toolkit
