#include "platform/Components.h"

#include <algorithm>

#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

bool IsValidIdent(const String& Ident) {
    if (Ident.empty()) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(Ident[0])) return false;
    return std::all_of(Ident.begin(), Ident.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    MarkDestroying();
    *alive_ = false;
    // Tell those who keep a reference to us; the list may shrink while we go through it.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto& back = other->freeNotifies_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Free() {
    if (!beforeDestructionDone_) {
        beforeDestructionDone_ = true;
        BeforeDestruction();
    }
    delete this;
}

void TComponent::BeforeDestruction() { MarkDestroying(); }

void TComponent::MarkDestroying() {
    if (state_ & csDestroying) return;
    state_ |= csDestroying;
    for (TComponent* c : components_) c->MarkDestroying();
}

void TComponent::SetDesigning(bool Value) {
    if (Value)
        state_ |= csDesigning;
    else
        state_ &= ~csDesigning;
}

TComponent* TComponent::Components(Integer Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return components_[static_cast<std::size_t>(Index)];
}

Integer TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    auto& list = owner_->components_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<Integer>(it - list.begin());
}

void TComponent::ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName) {
    (void)AComponent;
    if (!NewName.empty() && !SameText(CurName, NewName) && FindComponent(NewName))
        throw EComponentError(platform::detail::LayerFormat("A component named %s already exists", {NewName}));
}

void TComponent::SetName(const String& NewName) {
    if (name_ == NewName) return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError(platform::detail::LayerFormat("Component name \"%s\" is not valid", {NewName}));
    if (owner_)
        owner_->ValidateRename(this, name_, NewName);
    else
        ValidateRename(nullptr, name_, NewName);
    name_ = NewName;
}

TComponent* TComponent::FindComponent(const String& AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, AName)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->owner_ == this) return;
    if (!AComponent->name_.empty()) ValidateRename(AComponent, "", AComponent->name_);
    if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
    components_.push_back(AComponent);
    AComponent->owner_ = this;
    if (state_ & csDestroying) AComponent->MarkDestroying();
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    auto it = std::find(components_.begin(), components_.end(), AComponent);
    if (it == components_.end()) return;
    components_.erase(it);
    AComponent->owner_ = nullptr;
    Notification(AComponent, opRemove);
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        // Freeing removes it from our list; take it out first so a failing destructor
        // cannot leave a dangling entry behind.
        components_.pop_back();
        c->owner_ = nullptr;
        Notification(c, opRemove);
        c->Free();
    }
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end()) {
        freeNotifies_.push_back(AComponent);
        AComponent->freeNotifies_.push_back(this);
    }
    state_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), AComponent), freeNotifies_.end());
    auto& back = AComponent->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) ComponentRemoved(AComponent);
    // Owned components hear it too: references between the components of one form are the
    // common case (a tree's popup menu, a tray icon's image list).
    for (std::size_t i = 0; i < components_.size(); ++i) components_[i]->Notification(AComponent, Operation);
}
