// The XInput filter's source: the plug-and-play device ids WMI knows.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include "input/directinput_backend_win32.h"

namespace {

constexpr ULONG kBatch = 20;
constexpr LONG kBatchTimeoutMs = 10000;
constexpr int kDeviceIdChars = 512;

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

int32_t ListPnpDeviceIdsWmi(GamingInputBackend::DeviceIdVisitor visit, void* context) {
  const HRESULT init = CoInitialize(nullptr);
  IWbemLocator* locator = nullptr;
  IWbemServices* services = nullptr;
  IEnumWbemClassObject* objects = nullptr;
  BSTR space = SysAllocString(L"\\\\.\\root\\cimv2");
  BSTR className = SysAllocString(L"Win32_PNPEntity");
  BSTR property = SysAllocString(L"DeviceID");

  HRESULT result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(&locator));
  if (SUCCEEDED(result)) {
    result = locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
  }
  if (SUCCEEDED(result)) {
    result = CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  }
  if (SUCCEEDED(result)) {
    result = services->CreateInstanceEnum(className, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                          nullptr, &objects);
  }
  while (SUCCEEDED(result)) {
    IWbemClassObject* batch[kBatch] = {};
    ULONG returned = 0;
    result = objects->Next(kBatchTimeoutMs, kBatch, batch, &returned);
    if (FAILED(result) || returned == 0) break;
    for (ULONG i = 0; i < returned && i < kBatch; ++i) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(batch[i]->Get(property, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
          value.bstrVal != nullptr) {
        char id[kDeviceIdChars];
        if (WideCharToMultiByte(CP_ACP, 0, value.bstrVal, -1, id, sizeof id, nullptr, nullptr) > 0) {
          visit(id, context);
        }
      }
      VariantClear(&value);
      ReleaseAndClear(batch[i]);
    }
  }

  SysFreeString(property);
  SysFreeString(className);
  SysFreeString(space);
  ReleaseAndClear(objects);
  ReleaseAndClear(services);
  ReleaseAndClear(locator);
  if (SUCCEEDED(init)) CoUninitialize();
  return result;
}
