// The shell side of the shortcuts: .lnk files through the script host's shell object, taskbar
// pins through the folder-item verbs of "Shell.Application", and the empty-folder test.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "environment/system.h"
#include "install/shortcuts.h"
#include "runtime/text.h"
#include "runtime/wide_win32.h"

namespace {

// The shell's string resources of the pin and unpin verb captions.
constexpr UINT kPinCaption = 5386;
constexpr UINT kUnpinCaption = 5387;

void EnsureCom() {
  // Once per process; a thread already set up for another apartment keeps it, which serves too.
  static const HRESULT result = CoInitialize(nullptr);
  (void)result;
}

// An IDispatch pointer released when it goes out of scope.
class Dispatch {
 public:
  Dispatch() = default;
  explicit Dispatch(IDispatch* object) : object_(object) {}
  ~Dispatch() {
    if (object_) object_->Release();
  }
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;
  Dispatch(Dispatch&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  Dispatch& operator=(Dispatch&& other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  IDispatch* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  IDispatch* object_ = nullptr;
};

// A VARIANT cleared when it goes out of scope.
struct Variant {
  VARIANT value;
  Variant() { VariantInit(&value); }
  explicit Variant(const std::wstring& text) {
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  explicit Variant(long number) {
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
  }
  ~Variant() { VariantClear(&value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  // The object held by a result, with its own reference.
  Dispatch TakeObject() {
    if (value.vt != VT_DISPATCH || !value.pdispVal) return Dispatch();
    IDispatch* object = value.pdispVal;
    object->AddRef();
    return Dispatch(object);
  }
};

// One call by name: a method or property get with at most one argument, or a property put.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* argument,
             VARIANT* result) {
  if (!object) return E_POINTER;
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params = {argument, nullptr, argument ? 1u : 0u, 0};
  DISPID named = DISPID_PROPERTYPUT;
  if (kind == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr,
                        nullptr);
}

HRESULT Put(IDispatch* object, const wchar_t* name, Variant&& value) {
  return Call(object, name, DISPATCH_PROPERTYPUT, &value.value, nullptr);
}

Dispatch CallForObject(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* argument) {
  Variant result;
  if (FAILED(Call(object, name, kind, argument, &result.value))) return Dispatch();
  return result.TakeObject();
}

Dispatch CreateObject(const wchar_t* prog_id) {
  EnsureCom();
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(prog_id, &clsid))) return Dispatch();
  IDispatch* object = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(&object))))
    return Dispatch();
  return Dispatch(object);
}

std::wstring VerbCaption(int pin) {
  HMODULE shell32 = GetModuleHandleW(L"shell32.dll");
  // shell32 is a known DLL: it is always taken from the system folder.
  if (!shell32) shell32 = LoadLibraryW(L"shell32.dll");
  if (!shell32) return std::wstring();
  wchar_t caption[256] = {};
  const int length = LoadStringW(shell32, pin ? kPinCaption : kUnpinCaption, caption, 256);
  return length > 0 ? std::wstring(caption, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

bool WriteShellLink(const std::string& link_file, const ShellLinkFields& fields) {
  Dispatch shell = CreateObject(L"WScript.Shell");
  if (!shell) return false;
  Variant path(ToWide(link_file));
  Dispatch link = CallForObject(shell.get(), L"CreateShortcut", DISPATCH_METHOD, &path.value);
  if (!link) return false;
  if (FAILED(Put(link.get(), L"TargetPath", Variant(ToWide(fields.target))))) return false;
  // The remaining properties are optional: a failure leaves the shell's default.
  Put(link.get(), L"WorkingDirectory", Variant(ToWide(fields.working_dir)));
  Put(link.get(), L"IconLocation", Variant(ToWide(fields.icon_location)));
  Put(link.get(), L"WindowStyle", Variant(static_cast<long>(fields.window_style)));
  Put(link.get(), L"Description", Variant(ToWide(fields.description)));
  Put(link.get(), L"Arguments", Variant(ToWide(fields.arguments)));
  Put(link.get(), L"Hotkey", Variant(ToWide(fields.hotkey)));
  return SUCCEEDED(Call(link.get(), L"Save", DISPATCH_METHOD, nullptr, nullptr));
}

void PinToTaskbar(const std::string& folder, const std::string& file, int pin) {
  std::string dir = folder, name = file;
  const size_t cut = FindLastText(file, "\\");
  if (cut != std::string::npos) {
    dir = folder + "\\" + file.substr(0, cut);
    name = file.substr(cut + 1);
  }
  // Where the shell has no such caption (older Windows, Wine) no verb can match.
  const std::wstring caption = VerbCaption(pin);
  if (caption.empty()) return;
  Dispatch shell = CreateObject(L"Shell.Application");
  if (!shell) return;
  Variant dir_argument(ToWide(dir));
  Dispatch space = CallForObject(shell.get(), L"NameSpace", DISPATCH_METHOD, &dir_argument.value);
  if (!space) return;
  Variant name_argument(ToWide(name));
  Dispatch item = CallForObject(space.get(), L"ParseName", DISPATCH_METHOD, &name_argument.value);
  if (!item) return;
  Dispatch verbs = CallForObject(item.get(), L"Verbs", DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                 nullptr);
  if (!verbs) return;
  Variant count;
  if (FAILED(Call(verbs.get(), L"Count", DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr,
                  &count.value)) ||
      FAILED(VariantChangeType(&count.value, &count.value, 0, VT_I4)))
    return;
  for (long i = 0; i < count.value.lVal; ++i) {
    Variant index(i);
    Dispatch verb = CallForObject(verbs.get(), L"Item", DISPATCH_METHOD, &index.value);
    if (!verb) continue;
    Variant verb_name;
    if (FAILED(Call(verb.get(), L"Name", DISPATCH_PROPERTYGET, nullptr, &verb_name.value)) ||
        verb_name.value.vt != VT_BSTR || !verb_name.value.bstrVal)
      continue;
    if (caption == std::wstring(verb_name.value.bstrVal, SysStringLen(verb_name.value.bstrVal)))
      Call(verb.get(), L"DoIt", DISPATCH_METHOD, nullptr, nullptr);
  }
}

bool FolderIsEmpty(const std::string& folder) {
  std::string pattern = folder;
  if (!EndsWithBackslash(pattern)) pattern += "\\";
  pattern += "*.*";
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(ToWide(pattern).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") empty = false;
  } while (empty && FindNextFileW(search, &entry));
  FindClose(search);
  return empty;
}
