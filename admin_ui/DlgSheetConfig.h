// The configuration sheet "权限管理": the Groups, Users and Other pages over one loaded store.
// Every change acts on that store at once; Config saves it only when the sheet ends with OK.
#pragma once

#include "platform/PropertySheet.h"

class CDlgSheetConfig : public CPropertySheet {
public:
    using CPropertySheet::CPropertySheet;
};
