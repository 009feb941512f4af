// Loading and unloading a general plug-in as the host does, and the
// settings menu.
#include "Aviutl2Host.h"
#include "HostState.h"

using namespace aviutl2Layout;

namespace {

// The exports of a module, by the names the host looks up.
struct ExportFunctions {
  RegisterPluginFunction registerPlugin;
  InitializePluginFunction initializePlugin;
  InitializeLoggerFunction initializeLogger;
  InitializeConfigFunction initializeConfig;
  RequiredVersionFunction requiredVersion;
  GetCommonPluginTableFunction getCommonPluginTable;
  UninitializePluginFunction uninitializePlugin;
};

template <typename F>
F exported(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

ExportFunctions findExports(HMODULE module, PluginExports* found) {
  ExportFunctions f;
  f.registerPlugin = exported<RegisterPluginFunction>(module, "RegisterPlugin");
  f.initializePlugin = exported<InitializePluginFunction>(module, "InitializePlugin");
  f.initializeLogger = exported<InitializeLoggerFunction>(module, "InitializeLogger");
  f.initializeConfig = exported<InitializeConfigFunction>(module, "InitializeConfig");
  f.requiredVersion = exported<RequiredVersionFunction>(module, "RequiredVersion");
  f.getCommonPluginTable = exported<GetCommonPluginTableFunction>(module, "GetCommonPluginTable");
  f.uninitializePlugin = exported<UninitializePluginFunction>(module, "UninitializePlugin");
  found->registerPlugin = f.registerPlugin != nullptr;
  found->initializePlugin = f.initializePlugin != nullptr;
  found->uninitializePlugin = f.uninitializePlugin != nullptr;
  found->initializeLogger = f.initializeLogger != nullptr;
  found->initializeConfig = f.initializeConfig != nullptr;
  found->requiredVersion = f.requiredVersion != nullptr;
  found->getCommonPluginTable = f.getCommonPluginTable != nullptr;
  return f;
}

void forgetModule(Aviutl2Host* host) {
  HMODULE module;
  {
    std::lock_guard<std::mutex> hold(host->lock);
    module = host->module;
    host->module = nullptr;
    host->uninitializePlugin = nullptr;
  }
  FreeLibrary(module);
}

// The initialisers before RegisterPlugin; false when the plug-in refuses
// the host (`result` says how).
bool initialise(Aviutl2Host* host, const ExportFunctions& f, LoadResult* result, std::string* error) {
  DWORD version = host->settings.hostVersion;
  if (f.requiredVersion != nullptr) {
    DWORD required = 0;
    callPlugin(host, "RequiredVersion", [&] { required = f.requiredVersion(); });
    if (required > version) {
      *result = LoadResult::hostTooOld;
      *error = "the plug-in requires host version " + std::to_string(required) + ", this is " +
               std::to_string(version);
      return false;
    }
  }
  if (f.initializeLogger != nullptr) callPlugin(host, "InitializeLogger", [&] { f.initializeLogger(host->logger); });
  if (f.initializeConfig != nullptr) callPlugin(host, "InitializeConfig", [&] { f.initializeConfig(host->config); });
  bool initialised = true;
  if (f.initializePlugin != nullptr) {
    callPlugin(host, "InitializePlugin", [&] { initialised = f.initializePlugin(version); });
  }
  if (!initialised) {
    *result = LoadResult::initializeFailed;
    *error = "InitializePlugin returned false";
  }
  return initialised;
}

void takeCommonTable(Aviutl2Host* host, GetCommonPluginTableFunction getCommonPluginTable) {
  COMMON_PLUGIN_TABLE* common = nullptr;
  callPlugin(host, "GetCommonPluginTable", [&] { common = getCommonPluginTable(); });
  if (common == nullptr) {
    addFault(host, "GetCommonPluginTable returned null");
    return;
  }
  std::lock_guard<std::mutex> hold(host->lock);
  host->pluginName = common->name != nullptr ? common->name : L"";
  host->pluginInformation = common->information != nullptr ? common->information : L"";
}

}  // namespace

LoadResult loadAviutl2Plugin(Aviutl2Host* host, const std::wstring& path, std::string* error) {
  if (host->module != nullptr) {
    *error = "a plug-in is loaded already";
    return LoadResult::cannotLoad;
  }
  HMODULE module = LoadLibraryW(path.c_str());
  if (module == nullptr) {
    *error = "cannot load " + utf8Of(path) + " (error " + std::to_string(GetLastError()) + ")";
    return LoadResult::cannotLoad;
  }
  PluginExports found;
  ExportFunctions f = findExports(module, &found);
  {
    std::lock_guard<std::mutex> hold(host->lock);
    host->module = module;
    host->uninitializePlugin = f.uninitializePlugin;
    host->exports = found;
    host->registrations.clear();
    host->pluginName.clear();
    host->pluginInformation.clear();
  }
  if (f.registerPlugin == nullptr) {
    *error = utf8Of(path) + " has no export RegisterPlugin";
    forgetModule(host);
    return LoadResult::noRegisterPlugin;
  }
  LoadResult result = LoadResult::registered;
  if (!initialise(host, f, &result, error)) {
    forgetModule(host);
    return result;
  }
  host->insideRegisterPlugin = true;
  callPlugin(host, "RegisterPlugin", [&] { f.registerPlugin(host->table); });
  host->insideRegisterPlugin = false;
  if (f.getCommonPluginTable != nullptr) takeCommonTable(host, f.getCommonPluginTable);
  error->clear();
  return LoadResult::registered;
}

bool unloadAviutl2Plugin(Aviutl2Host* host) {
  if (host->module == nullptr) return false;
  waitForEvents(host);
  UninitializePluginFunction uninitialize = host->uninitializePlugin;
  if (uninitialize != nullptr) callPlugin(host, "UninitializePlugin", [&] { uninitialize(); });
  forgetModule(host);
  return true;
}

bool openConfigMenu(Aviutl2Host* host, size_t index) {
  Registration menu;
  size_t seen = 0;
  HINSTANCE instance;
  {
    std::lock_guard<std::mutex> hold(host->lock);
    instance = host->module;
    for (const Registration& r : host->registrations) {
      if (r.member == kTableRegisterConfigMenu && seen++ == index) menu = r;
    }
  }
  if (instance == nullptr || menu.callback == nullptr) return false;
  auto proc = reinterpret_cast<ConfigProc>(menu.callback);
  callPlugin(host, "config menu " + utf8Of(menu.name), [&] { proc(host->window, instance); });
  return true;
}

std::wstring moduleFolder(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  if (host->module == nullptr) return std::wstring();
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(host->module, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length);
  size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}
