#pragma once

class OutlineViewEvent;

// Told when the arrow keys moved the selection of an OutlineViewEvent.
class OutlineViewEventDelegate {
  public:
    virtual ~OutlineViewEventDelegate() = default;
    virtual void OutlineViewSelectRowEvent(OutlineViewEvent* view) {}
};
