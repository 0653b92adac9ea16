#include "app/offer_box.h"

#include <windows.h>

#include <cwchar>

#include "app/resource.h"
#include "exec/execlib.h"

namespace {

constexpr int kOfferChars = 512;

void Widen(const char* utf8, wchar_t* out, int size) {
  if (MultiByteToWideChar(CP_UTF8, 0, utf8 ? utf8 : "", -1, out, size) == 0) out[0] = 0;
}

INT_PTR CALLBACK OfferProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      wchar_t caption[128];
      Widen(ApplicationName(), caption, 128);
      SetWindowTextW(box, caption);
      SetDlgItemTextW(box, IDC_OFFER_TEXT, reinterpret_cast<const wchar_t*>(lParam));
      SendDlgItemMessageW(box, IDC_OFFER_ICON, STM_SETICON,
                          reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(32514))), 0);  // IDI_QUESTION
      MessageBeep(MB_ICONQUESTION);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDYES: EndDialog(box, IDYES); return TRUE;
        case IDNO:
        case IDCANCEL: EndDialog(box, IDNO); return TRUE;  // Escape and the close box decline
        case IDC_OFFER_SKIP: EndDialog(box, IDC_OFFER_SKIP); return TRUE;
        default: return FALSE;
      }
    case WM_CLOSE:
      EndDialog(box, IDNO);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

OfferAnswer ShowOfferBox(void* owner, const char* utf8Text, bool canSkip) {
  wchar_t text[kOfferChars];
  Widen(utf8Text, text, kOfferChars);
  HWND window = static_cast<HWND>(owner);
  INT_PTR answer;
  if (canSkip) {
    answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OFFER), window, OfferProc,
                             reinterpret_cast<LPARAM>(text));
  } else {
    wchar_t caption[128];
    Widen(ApplicationName(), caption, 128);
    answer = MessageBoxW(window, text, caption, MB_YESNO | MB_ICONQUESTION);
  }
  if (answer == IDYES) return OfferAnswer::kYes;
  if (answer == IDC_OFFER_SKIP) return OfferAnswer::kSkip;
  return OfferAnswer::kNo;
}
