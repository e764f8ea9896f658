// The root of the layer's class hierarchy: TObject, TPersistent and the notify event.
//
// Classes that stand in for the class library's objects (string lists, components, tree
// nodes) derive from TObject so that events can name their sender and lists can hold
// pointer-sized object references. TPersistent adds Assign, which copies state between
// compatible objects and raises EConvertError for incompatible ones. This header owns no
// state and must never grow behaviour beyond what every object shares.
#pragma once

#include <functional>

#include "platform/Exceptions.h"

class TObject {
public:
    virtual ~TObject();
    // The name reports show; each class that reports itself overrides it.
    virtual const char* ClassName() const noexcept { return "TObject"; }
};

// Event fired with the object that changed as its sender; empty means unassigned.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
public:
    const char* ClassName() const noexcept override { return "TPersistent"; }
    // Copies Source into this object. The base asks Source to assign itself to this
    // object (AssignTo), which raises "Cannot assign a X to a Y" unless a class knows how.
    virtual void Assign(TPersistent* Source);

protected:
    virtual void AssignTo(TPersistent* Dest);
};
