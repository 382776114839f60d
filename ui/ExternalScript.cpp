#include "ui/ExternalScript.h"

const char* ExternalScriptSource() {
    return R"JS((function () {
  'use strict';
  function post(handler, value) {
    var handlers = window.webkit && window.webkit.messageHandlers;
    if (handlers && handlers[handler]) handlers[handler].postMessage(value);
  }
  function int32(value) { return Number(value) | 0; }
  var external = {
    _velmora_OnExit: function () { post('velmoraOnExit', 0); },
    _velmora_GetAppParams: function (name) {
      try {
        var request = new XMLHttpRequest();
        request.open('GET', 'res:///bridge/GetAppParams?name=' +
                     encodeURIComponent(name == null ? '' : String(name)), false);
        request.send(null);
        return request.responseText;
      } catch (e) {
        return '';
      }
    },
    _velmora_MoveTitleBar: function (x, y) { post('velmoraMoveTitleBar', [int32(x), int32(y)]); },
    _velmora_Retry: function () { post('velmoraRetry', 0); }
  };
  document.addEventListener('DOMContentLoaded', function () { post('velmoraPageReady', 0); });
  try {
    Object.defineProperty(window, 'external', { value: external, configurable: true });
  } catch (e) {
    window.external = external;
  }
})();
)JS";
}
