// The video page's server: its one class, and its registration under the shared page keys.
#include "framework/classfactory.h"
#include "pages/common/pagereg.h"
#include "pages/video/videopage.h"

const FactoryTemplate g_FactoryTemplates[] = {
    {PAGE_SERVER_NAME, &CLSID_VideoControlPage, CKt3ProxyPluginPage::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_FactoryTemplates) / sizeof(g_FactoryTemplates[0]);

HRESULT DllRegisterServer() { return RegisterExtensionPage(CLSID_VideoControlPage); }

// The last page out removes the keys both pages share.
HRESULT DllUnregisterServer() { return UnregisterExtensionPage(CLSID_VideoControlPage, TRUE); }
