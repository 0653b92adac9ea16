#include "script/script_layer.h"

#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/resource.h"
#include "script/multilang.h"
#include "script/script.h"

namespace {

void StartScripting() {
  const ResourceHandlerInfo script = {kResourceScript, 2, 0x5B53435D, 0, ScriptDispatch, nullptr,
                                      "Scripts", "", ".ini", 0};
  if (NewResourceHandler(&script) != nullptr) {
    SetScriptsList(CreateResourceList("Scripts", kResourceScript, ReleaseScriptElement));
  }
}

void StartScriptLayer(const ExecConfig* config) {
  LogPrintf(3, "InitExec: Init scripting system.");
  StartScripting();
  LogPrintf(3, "InitExec: Init languages.");
  StartLanguages(config->language);
}

const ExecLayer kScriptLayer = {StartScriptLayer, FreeUnitTables};

}  // namespace

void InstallScriptLayer() { SetExecLayer(&kScriptLayer); }
