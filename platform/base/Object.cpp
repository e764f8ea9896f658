#include "platform/Object.h"

TObject::~TObject() = default;

void TPersistent::Assign(TPersistent* Source) {
    if (Source != nullptr) {
        Source->AssignTo(this);
        return;
    }
    throw EConvertError(String("Cannot assign a nil to a ") + ClassName());
}

void TPersistent::AssignTo(TPersistent* Dest) {
    throw EConvertError(String("Cannot assign a ") + ClassName() + " to a " + Dest->ClassName());
}
