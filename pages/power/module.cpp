// The power-line page's server: its one class, and its registration under the shared page keys.
#include "framework/classfactory.h"
#include "pages/common/pagereg.h"
#include "pages/power/powerpage.h"

const FactoryTemplate g_FactoryTemplates[] = {
    {PAGE_SERVER_NAME, &CLSID_PowerLinePage, CKt3ProxyPluginPage::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_FactoryTemplates) / sizeof(g_FactoryTemplates[0]);

HRESULT DllRegisterServer() { return RegisterExtensionPage(CLSID_PowerLinePage); }

// The shared keys stay for the video page, which removes them.
HRESULT DllUnregisterServer() { return UnregisterExtensionPage(CLSID_PowerLinePage, FALSE); }
