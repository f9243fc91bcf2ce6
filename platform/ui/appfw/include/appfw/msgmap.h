// Message maps: each class lists the messages and commands it handles; lookups go from the
// most derived class to its bases. An entry's handler is a small function that calls the
// member on the object, so every entry is checked by the compiler.
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_WM_PAINT()
//       ON_BN_CLICKED(IDOK, &CMyDlg::OnBnClickedOk)
//       ON_CONTROL_RANGE(BN_CLICKED, 0x7200, 0x73FF, &CMyDlg::OnBtnClickedSet)
//   END_MESSAGE_MAP()
#pragma once

#include "plat/ui.h"

#define afx_msg

class CCmdTarget;

using AFX_PMSG_THUNK = LRESULT (*)(CCmdTarget* pTarget, UINT nID, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // WM_COMMAND for commands and notifications
    UINT nCode;    // notification code (commands: 0)
    UINT nID;      // first control id
    UINT nLastID;  // last control id of a range
    AFX_PMSG_THUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// clang-format off
#define DECLARE_MESSAGE_MAP()                                                                                 \
protected:                                                                                                    \
    static const AFX_MSGMAP* GetThisMessageMap();                                                             \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }                         \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                                         \
        using ThisClass [[maybe_unused]] = theClass;                                                                         \
        using TheBaseClass = baseClass;                                                                       \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                                     \
    {0, 0, 0, 0, nullptr}                                                                                     \
    }                                                                                                         \
    ;                                                                                                         \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};             \
    return &messageMap;                                                                                       \
    }

#define AFX_THUNK(body) [](CCmdTarget * pTarget, UINT nID, WPARAM wParam, LPARAM lParam) -> LRESULT {          \
    auto* pThis = static_cast<ThisClass*>(pTarget);                                                           \
    (void)pThis, (void)nID, (void)wParam, (void)lParam;                                                       \
    body                                                                                                      \
}

// Commands and control notifications; handlers take no arguments, range handlers the id.
#define ON_COMMAND(id, memberFxn)                                                                             \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id), AFX_THUNK((pThis->*(memberFxn))(); return 0;)},
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                               \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(idLast),                                         \
     AFX_THUNK((pThis->*(memberFxn))(nID); return 0;)},
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                                \
    {WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id),                \
     AFX_THUNK((pThis->*(memberFxn))(); return 0;)},
#define ON_CONTROL_RANGE(wNotifyCode, id, idLast, memberFxn)                                                  \
    {WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(idLast),            \
     AFX_THUNK((pThis->*(memberFxn))(nID); return 0;)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_SETFOCUS(id, memberFxn) ON_CONTROL(BN_SETFOCUS, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)

// Window messages, routed to the handlers of the usual names.
#define ON_MESSAGE(message, memberFxn)                                                                        \
    {static_cast<UINT>(message), 0, 0, 0, AFX_THUNK(return (pThis->*(memberFxn))(wParam, lParam);)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, AFX_THUNK(pThis->OnPaint(); return 0;)},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, AFX_THUNK(pThis->OnDestroy(); return 0;)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, AFX_THUNK(pThis->OnClose(); return 0;)},
#define ON_WM_QUERYDRAGICON()                                                                                 \
    {WM_QUERYDRAGICON, 0, 0, 0, AFX_THUNK(return reinterpret_cast<LRESULT>(pThis->OnQueryDragIcon());)},
#define ON_WM_SYSCOMMAND()                                                                                    \
    {WM_SYSCOMMAND, 0, 0, 0, AFX_THUNK(pThis->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;)},

// clang-format on

// A command target: something with a message map.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // Routes a command (WM_COMMAND id and code) through the map; TRUE when a handler ran.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam);

    static const AFX_MSGMAP_ENTRY* FindMessageEntry(const AFX_MSGMAP* pMap, UINT nMsg, UINT nCode, UINT nID);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
