// The page's side of the window: functions the window calls to show the download and the
// advertisement.

function jsMoveTitleBar(x, y) {
    window.external._velmora_MoveTitleBar(x, y);
}

function velmora_exit() {
    window.external._velmora_OnExit();
}

function Retry() {
    // Hide the button first, so a second click cannot start a second attempt.
    $("#retry").hide();
    $("#download_details").show();
    $("#download_fail").hide();
    window.external._velmora_Retry();
}

function jsShowDownFail(str) {
    $("#retry").show();
    $("#download_details").hide();
    $("#download_fail").show();
    $("#download_fail").html(str);
}

// str is the update information as JSON; an empty reply arrives as "null".
function jsShowDetail(str) {
    if (str === "") {
        return;
    }
    var detail = $.parseJSON(str);
    if (!detail) {
        return;
    }
    // The version label comes from the network: show it as text, never as markup.
    $("#version").text("V" + detail.version);
}

// The figures change with every received block, thousands of times a second on a fast link,
// so the functions the window calls for them write only what changes, and write plain text
// straight into the element's text instead of having it parsed as markup: the page ends up as
// it would after jQuery's .html() or .css() with the same value.

// Per element id: the value its text was last made from here, and that text.
var figures = {};

// Sets the content of the element with the given id to prefix + value + suffix, as
// $("#" + id).html(prefix + value + suffix) does.
function setFigure(id, prefix, value, suffix) {
    var element = document.getElementById(id);
    var only = element && element.firstChild;
    var plain = only && only === element.lastChild && only.nodeType === 3;
    var last = figures[id];
    if (plain && last && last.value === value && only.data === last.text) {
        return;  // the same text again
    }
    var text = prefix + value + suffix;
    // Markup, entities, carriage returns and NULs mean something else to the HTML parser.
    if (!plain || /[<&\r\0]/.test(text)) {
        if (text !== "" || (element && element.firstChild)) {
            $("#" + id).html(text);
        }
    } else if (text === "") {
        element.removeChild(only);  // what .html("") leaves: no child at all
    } else if (only.data !== text) {
        only.data = text;
    }
    if (!last) {
        last = figures[id] = {};
    }
    last.value = value;
    last.text = text;
}

// The percentage the bar's width was last set from here, forgotten whenever its style is
// written (by anyone, this function included) once the script that wrote it has run.
var barProgress = null;
var barWatched = null;

// The percentage the progress bar last told assistive technology; the bar is updated for
// every received block, the attribute only when the figure changes.
var announcedProgress = null;

function jsUpdateProgress(progress, aldown) {
    var bar = document.getElementById("Progressbar");
    if (bar && bar !== barWatched) {
        barWatched = bar;
        barProgress = null;
        new MutationObserver(function () {
            barProgress = null;
        }).observe(bar, { attributes: true, attributeFilter: ["style"] });
    }
    if (progress !== barProgress) {
        $("#Progressbar").css("width", progress + "%");
        barProgress = progress;
    }
    if (progress !== announcedProgress) {
        announcedProgress = progress;
        document.getElementById("progress").setAttribute("aria-valuenow", progress);
    }
    jsUpdateFileDownloaded(aldown);
}

function jsUpdateFileDownloaded(aldown) {
    setFigure("aldownload", "下载进度 ", aldown, "M");
}

function jsUpdateFileSize(filesize) {
    setFigure("filesize", "/", filesize, "M");
}

// A transfer failed and is tried again after a pause: said in the progress line, as text.
function jsShowRetry(str) {
    $("#speed").text("，" + str);
}

// The failure view follows: a retry notice before it no longer holds (a speed figure does).
function jsClearRetry() {
    var line = $("#speed");
    if (line.text().charAt(0) === "，") {
        line.text("");
    }
}

function jsUpdateSpeed(speed) {
    setFigure("speed", ",下载速度 ", speed, " KB/s");
}

// The page's own controls, bound here and not in the markup: the page runs no inline script,
// so no markup that reaches it can carry a handler. Each calls its function by name when used.
function bindPageControls() {
    function on(id, type, handler) {
        document.getElementById(id).addEventListener(type, handler, false);
    }
    on("head_info", "mousedown", function (event) { jsMoveTitleBar(event.x, event.y); });
    // A press on × is not a press on the strip around it.
    on("closebtn", "mousedown", function (event) { event.stopPropagation(); });
    on("closebtn", "click", function () { velmora_exit(); });
    on("cancel", "click", function () { velmora_exit(); });
    on("retry", "click", function () { Retry(); });
    // Text can be selected only inside text inputs (the page has none).
    document.body.addEventListener("selectstart", function (event) {
        if (event.target.type !== "text") {
            event.preventDefault();
        }
    }, false);
}
document.addEventListener("DOMContentLoaded", bindPageControls, false);

// Keyboard: Enter and Space press the focused link-button (a link's own Enter would also
// follow its "#"), Space follows the focused link as Enter does, Esc is Cancel.
document.addEventListener("keydown", function (event) {
    var key = event.keyCode;
    if (key === 27) {
        event.preventDefault();
        velmora_exit();
        return;
    }
    var target = event.target;
    var isButton = !!target.getAttribute && target.getAttribute("role") === "button";
    var isLink = !isButton && target.tagName === "A";
    if ((isButton && key === 13) || ((isButton || isLink) && key === 32)) {
        event.preventDefault();
        target.click();
    }
}, false);

// The advertisement arrives from the program as an HTML fragment from the web server, which
// nobody has verified: it is parsed inert and rebuilt from an allowlist of plain formatting,
// so no script, handler, frame, form or foreign address of it ever gets into the page. Nor
// does anything that could draw or take presses outside its box: no inline style (position,
// transform, margins), no class but the looks the style sheet offers adverts, no tooltip
// (a title is drawn by the window, wherever the pointer is). The box clips the rest.
var AD_ELEMENTS = ["b", "i", "em", "strong", "span", "div", "p", "br", "ul", "ol", "li", "img",
    "a", "font", "center"];
var AD_ATTRIBUTES = ["alt", "width", "height", "color", "size", "align"];
var AD_CLASSES = ["ad-banner", "ad-headline", "ad-text"];
var AD_MAX_DEPTH = 32;

// The names in a class attribute that the style sheet defines for adverts, or "".
function adClasses(value) {
    return value.split(/\s+/).filter(function (name) {
        return AD_CLASSES.indexOf(name) >= 0;
    }).join(" ");
}

// Whether value is an absolute address of one of the schemes ("http:", ...), as the browser's
// own URL parser reads it.
function adAddressAllowed(value, schemes) {
    try {
        return schemes.indexOf(new URL(value).protocol) >= 0;
    } catch (e) {
        return false;
    }
}

function adCopyChildren(source, target, depth) {
    if (depth > AD_MAX_DEPTH) {
        return;
    }
    for (var node = source.firstChild; node; node = node.nextSibling) {
        if (node.nodeType === 3) {
            target.appendChild(document.createTextNode(node.nodeValue));
            continue;
        }
        var name = node.nodeType === 1 ? node.nodeName.toLowerCase() : "";
        if (AD_ELEMENTS.indexOf(name) < 0) {
            continue;  // dropped with everything inside it
        }
        var copy = document.createElement(name);
        for (var i = 0; i < node.attributes.length; i++) {
            var key = node.attributes[i].name.toLowerCase();
            var value = node.attributes[i].value;
            if (AD_ATTRIBUTES.indexOf(key) >= 0) {
                copy.setAttribute(key, value);
            } else if (key === "class" && adClasses(value)) {
                copy.setAttribute("class", adClasses(value));
            } else if (name === "img" && key === "src" &&
                       adAddressAllowed(value, ["http:", "https:", "res:"])) {
                copy.setAttribute("src", value);
            } else if (name === "a" && key === "href" &&
                       adAddressAllowed(value, ["http:", "https:"])) {
                copy.setAttribute("href", value);
                copy.setAttribute("target", "_blank");  // the user's browser opens it
            }
        }
        adCopyChildren(node, copy, depth + 1);
        target.appendChild(copy);
    }
}

function jsShowAd(html) {
    var parsed = new DOMParser().parseFromString(String(html), "text/html");
    var rebuilt = document.createDocumentFragment();
    adCopyChildren(parsed.body, rebuilt, 0);
    var ad = document.getElementById("ad");
    while (ad.firstChild) {
        ad.removeChild(ad.firstChild);
    }
    ad.appendChild(rebuilt);
}
