// The object model shared by the library and its hosts: objects that know their run-time class,
// and a registry that creates a class's object from the class name found in an archive.
#pragma once

#include <cstdint>

class CArchive;
class CObject;

// A run-time class record: name, schema and base, plus the factory the archive uses when it meets
// the class name in a stream. Records are static objects of the code that defines the class.
struct CRuntimeClass {
    const char* m_lpszClassName;
    uint16_t m_wSchema;
    CObject* (*m_pfnCreateObject)();  // null for classes that cannot be created by name
    const CRuntimeClass* m_pBaseClass;

    // A new object of this class, or null when the class has no factory.
    CObject* CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    // The class registered under `name` (the most recent registration wins), or null.
    static const CRuntimeClass* FromName(const char* name);
};

// Adds `pClass` to the registry. Registration objects (see IMPLEMENT_SERIAL) call this when their
// module is loaded and AfxClassTerm when it is unloaded, so the registry never holds a record of
// an unloaded library.
void AfxClassInit(const CRuntimeClass* pClass);
void AfxClassTerm(const CRuntimeClass* pClass);

struct AFX_CLASSINIT {
    explicit AFX_CLASSINIT(const CRuntimeClass* pClass) : m_pClass(pClass) { AfxClassInit(pClass); }
    ~AFX_CLASSINIT() { AfxClassTerm(m_pClass); }
    AFX_CLASSINIT(const AFX_CLASSINIT&) = delete;
    AFX_CLASSINIT& operator=(const AFX_CLASSINIT&) = delete;

private:
    const CRuntimeClass* m_pClass;
};

class CObject {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject();
    // Writes or reads the object's body; CObject itself has none.
    virtual void Serialize(CArchive& ar);

    bool IsKindOf(const CRuntimeClass* pClass) const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

// In the class body: the run-time class record and its query.
#define DECLARE_SERIAL(class_name)                \
public:                                           \
    static const CRuntimeClass class##class_name; \
    static CObject* CreateObject();               \
    const CRuntimeClass* GetRuntimeClass() const override;

// In exactly one source file: defines the record and registers the class for creation by name.
#define IMPLEMENT_SERIAL(class_name, base_class_name, schema)                                      \
    CObject* class_name::CreateObject() { return new class_name; }                                 \
    const CRuntimeClass class_name::class##class_name = {                                          \
        #class_name, schema, class_name::CreateObject, RUNTIME_CLASS(base_class_name)};            \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); } \
    static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));
