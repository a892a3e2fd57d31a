#pragma once
#include <QStringList>

// Receiver of the data-type chooser's Start and Back.
class NSSelectDirizaFileTypeViewDelegate {
  public:
    virtual ~NSSelectDirizaFileTypeViewDelegate() = default;
    // Start with the chosen types: 17 texts, "1" for a wanted type. The list is the
    // chooser's selection at the moment of Start; later changes on the page do not reach it.
    virtual void BackUpStartEvent(const QStringList& selection) {}
    virtual void BackBtEvent() {}
};
