#include "core/Component.h"

#include "core/Exception.h"
#include "core/Format.h"

#include <algorithm>

bool ClassInfo::InheritsFrom(std::string_view className) const {
    for (const ClassInfo* c = this; c; c = c->parent_)
        if (SameText(c->name_, className))
            return true;
    return false;
}

const PropInfo* ClassInfo::FindProperty(std::string_view name) const {
    for (const ClassInfo* c = this; c; c = c->parent_)
        for (const PropInfo& p : c->props_)
            if (SameText(p.name, name))
                return &p;
    return nullptr;
}

const ClassInfo& TPersistent::StaticClass() {
    static const ClassInfo info("TPersistent", nullptr);
    return info;
}

PropValue TPersistent::GetProperty(std::string_view name) const {
    const PropInfo* p = Class().FindProperty(name);
    return p && p->get ? p->get(*this) : PropValue();
}

bool TPersistent::SetProperty(std::string_view name, const PropValue& value) {
    const PropInfo* p = Class().FindProperty(name);
    if (!p || !p->set)
        return false;
    p->set(*this, value);
    return true;
}

TComponent::TComponent(TComponent* owner) {
    if (owner)
        owner->insertComponent(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    DestroyComponents();
    // Tell everyone who asked; each may drop its reference to this component.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        std::erase(other->freeNotifies_, this);
        other->Notification(this, Operation::Remove);
    }
    if (owner_)
        owner_->removeComponent(this);
}

void TComponent::SetName(const AnsiString& name) {
    if (name == name_)
        return;
    if (owner_ && !name.empty()) {
        TComponent* same = owner_->FindComponent(name);
        if (same && same != this)
            throw EComponentError(Format("A component named %s already exists", name));
    }
    name_ = name;
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name))
            return c;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this)
        return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
        freeNotifies_.push_back(other);
        other->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (!other)
        return;
    std::erase(freeNotifies_, other);
    std::erase(other->freeNotifies_, this);
}

void TComponent::Loaded() { loading_ = false; }

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        c->destroying_ = true;
        delete c;  // removes itself from components_
    }
}

void TComponent::Notification(TComponent* component, Operation operation) {
    if (operation == Operation::Remove && component->owner_ == this) {
        // Copy: a notified component may free others it owns.
        std::vector<TComponent*> owned = components_;
        for (TComponent* c : owned)
            if (c != component && std::find(components_.begin(), components_.end(), c) != components_.end())
                c->Notification(component, operation);
    }
}

void TComponent::insertComponent(TComponent* c) {
    components_.push_back(c);
    c->owner_ = this;
    Notification(c, Operation::Insert);
}

void TComponent::removeComponent(TComponent* c) {
    // Tell the owner and its other components before the link is cut.
    Notification(c, Operation::Remove);
    std::erase(components_, c);
    c->owner_ = nullptr;
}
