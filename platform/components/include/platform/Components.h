// Components: objects with an owner, a name unique among the owner's components, a tag and
// the notices that keep references between components valid.
//
// A component owns the components created with it as owner and frees them when it is freed.
// Freeing goes through Free(), which runs BeforeDestruction() while the whole object still
// stands (so overrides of the most derived class take part: a form's OnDestroy, a windowed
// control's window destruction) and then deletes it. From the moment BeforeDestruction starts,
// the component and everything it owns carry csDestroying, and events bound to them no longer
// run. Components that hold references to others ask for FreeNotification and drop the
// reference in Notification(opRemove) / ComponentRemoved(). This header keeps no global state.
#pragma once

#include <memory>
#include <vector>

#include "platform/Object.h"

// ComponentState bits.
using TComponentState = unsigned;
inline constexpr TComponentState csLoading = 0x0001;
inline constexpr TComponentState csReading = 0x0002;
inline constexpr TComponentState csWriting = 0x0004;
inline constexpr TComponentState csDestroying = 0x0008;
inline constexpr TComponentState csDesigning = 0x0010;
inline constexpr TComponentState csFreeNotification = 0x0100;

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    const char* ClassName() const noexcept override { return "TComponent"; }

    // Runs BeforeDestruction and deletes the object; nullptr-safe through FreeAndNil.
    void Free();
    virtual void BeforeDestruction();

    TComponent* Owner() const { return owner_; }
    Integer ComponentCount() const { return static_cast<Integer>(components_.size()); }
    TComponent* Components(Integer Index) const;
    // Index of this component in its owner's list (-1 without owner).
    Integer ComponentIndex() const;
    TComponentState ComponentState() const { return state_; }
    bool Destroying() const { return (state_ & csDestroying) != 0; }

    const String& Name() const { return name_; }
    // Raises EComponentError "Component name "X" is not valid" for a name that is no
    // identifier, and "A component named X already exists" when another component of the
    // same owner carries it (compared without regard to case). An empty name is allowed.
    void SetName(const String& NewName);
    NativeInt Tag() const { return tag_; }
    void SetTag(NativeInt Value) { tag_ = Value; }

    // The owned component of that name (without regard to case), or nullptr.
    TComponent* FindComponent(const String& AName) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last first.
    void DestroyComponents();

    // AComponent will hear Notification(this, opRemove) when this component goes.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Called once after a form (or other root) built in code has all its components.
    virtual void AfterLoad() {}

    // A token that expires when the component is freed; deferred work checks it first.
    std::weak_ptr<bool> AliveToken() const { return alive_; }

protected:
    // Sent to the owner and to every component that asked for free notification.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // The removal side of Notification, for components that keep references.
    virtual void ComponentRemoved(TComponent* AComponent) { (void)AComponent; }
    void SetDesigning(bool Value);
    // Marks this component and every owned one as being destroyed.
    void MarkDestroying();
    // Validates a name for this component; overrides may refuse more.
    virtual void ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName);

private:
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    String name_;
    NativeInt tag_ = 0;
    TComponentState state_ = 0;
    bool beforeDestructionDone_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Frees the object (when set) and clears the reference.
template <class T>
void FreeAndNil(T*& Ref) {
    T* p = Ref;
    Ref = nullptr;
    if (p) p->Free();
}

// True for a name of letters, digits and underscores that does not start with a digit.
bool IsValidIdent(const String& Ident);
