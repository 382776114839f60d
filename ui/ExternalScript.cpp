#include "ui/ExternalScript.h"

#include <string>

#include "ui/ScriptCall.h"

const char* ExternalScriptSource() {
    static const std::string source = std::string(R"JS((function () {
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

  // The window's calls of page functions, a batch at a time: the batch's texts, and each
  // call as the index of its name, the number of its arguments and their indexes. Each call
  // runs on its own, in order, as if the page had written
  //   if (typeof name === 'function') { try { name(args...); } catch (e) {} }
  var apply = Reflect.apply;
  function runCalls(batch) {
    var texts = batch[0];
    var calls = batch[1];
    for (var i = 0; i < calls.length;) {
      var f = window[texts[calls[i]]];
      var count = calls[i + 1];
      var first = i + 2;
      i = first + count;
      if (typeof f !== 'function') continue;
      try {
        // The usual one and two arguments go without an array of their own.
        if (count === 1) {
          f(texts[calls[first]]);
        } else if (count === 2) {
          f(texts[calls[first]], texts[calls[first + 1]]);
        } else {
          var args = [];
          for (var k = first; k < i; k++) args.push(texts[calls[k]]);
          apply(f, undefined, args);
        }
      } catch (e) {
      }
    }
  }
  Object.defineProperty(window, ')JS") +
                                      kCallRunner + R"JS(', { value: runCalls });
  try {
    Object.defineProperty(window, 'external', { value: external, configurable: true });
  } catch (e) {
    window.external = external;
  }
})();
)JS";
    return source.c_str();
}
