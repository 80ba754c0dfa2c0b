#include "wardlet/platform/Object.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// Registered classes, oldest first. Libraries register at load and withdraw at unload; a name
// registered twice (a test that links the store and also loads libwardlet.so) resolves to the
// most recent registration.
struct ClassRegistry {
    std::mutex lock;
    std::vector<const CRuntimeClass*> classes;
};

ClassRegistry& Registry() {
    static ClassRegistry* registry = new ClassRegistry;  // never destroyed: used during unload
    return *registry;
}

}  // namespace

const CRuntimeClass CObject::classCObject = {"CObject", 0xFFFF, nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }
CObject::~CObject() = default;
void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

CObject* CRuntimeClass::CreateObject() const {
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass) {
        if (c == pBaseClass) return true;
    }
    return false;
}

const CRuntimeClass* CRuntimeClass::FromName(const char* name) {
    ClassRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto it = std::find_if(
        registry.classes.rbegin(), registry.classes.rend(),
        [name](const CRuntimeClass* c) { return std::strcmp(c->m_lpszClassName, name) == 0; });
    return it == registry.classes.rend() ? nullptr : *it;
}

void AfxClassInit(const CRuntimeClass* pClass) {
    ClassRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    registry.classes.push_back(pClass);
}

void AfxClassTerm(const CRuntimeClass* pClass) {
    ClassRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto it = std::find(registry.classes.rbegin(), registry.classes.rend(), pClass);
    if (it != registry.classes.rend()) registry.classes.erase(std::next(it).base());
}
