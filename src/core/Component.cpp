#include "core/Component.h"

#include "core/Exception.h"
#include "core/Format.h"

#include <algorithm>
#include <unordered_set>

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
        // By position from the end, each read afresh: a notified component may free others this
        // one owns, and the list then shrinks under the walk (a component may hear twice, never a
        // freed one). One pass per removal, so freeing n components costs O(n^2), not O(n^3).
        size_t i = components_.size();
        while (i > 0) {
            TComponent* c = components_[--i];
            if (c != component)
                c->Notification(component, operation);
            i = std::min(i, components_.size());
        }
    }
}

void TComponent::FreeComponents(const std::vector<TComponent*>& owned) {
    const std::unordered_set<TComponent*> going(owned.begin(), owned.end());
    std::erase_if(components_, [&](TComponent* c) { return going.count(c) > 0; });
    for (TComponent* c : owned) {
        c->destroying_ = true;
        delete c; // tells this component and the ones that stay
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
