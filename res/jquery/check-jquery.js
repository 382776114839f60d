// Loads a built jQuery in a bare JavaScript context and checks the version it reports.
//
//   node check-jquery.js FILE VERSION
//
// jQuery probes the browser while it loads; the stand-in below answers those probes the way
// a very plain browser would (no selector API, no XHR), which is enough for the library to
// finish loading and define jQuery.fn.jquery. The page itself is checked in a real web view.
'use strict';

const fs = require('fs');
const vm = require('vm');

const [file, wantedVersion] = process.argv.slice(2);
if (!file || !wantedVersion) {
    console.error('usage: node check-jquery.js FILE VERSION');
    process.exit(2);
}

function plainElement(tagName) {
    return {
        nodeType: 1,
        nodeName: tagName.toUpperCase(),
        style: {},
        childNodes: [],
        firstChild: null,
        appendChild(child) { return child; },
        insertBefore(child) { return child; },
        removeChild(child) { return child; },
        setAttribute() {},
        getAttribute() { return null; },
        getElementsByTagName() { return []; },
    };
}

const documentElement = plainElement('html');
const document = {
    nodeType: 9,
    documentElement,
    readyState: 'loading',
    // jQuery splits its page's address as scheme://host while loading, as the window's
    // page address "res:///HTML/#106" allows.
    location: { href: 'res:///HTML/#106' },
    createElement: plainElement,
    createComment() { return { nodeType: 8 }; },
    createDocumentFragment() { return plainElement('#fragment'); },
    getElementById() { return null; },
    getElementsByTagName() { return [documentElement]; },
    addEventListener() {},
    removeEventListener() {},
};

const window = {
    document,
    navigator: { userAgent: 'check-jquery' },
    location: document.location,
    setTimeout,
    clearTimeout,
    setInterval,
    clearInterval,
    addEventListener() {},
    removeEventListener() {},
};
window.window = window;

const context = vm.createContext(window);
try {
    vm.runInContext(fs.readFileSync(file, 'utf8'), context, { filename: file });
} catch (error) {
    console.error(`check-jquery: ${file} failed to load: ${error.message || error}`);
    process.exit(1);
}

const reported = window.jQuery && window.jQuery.fn && window.jQuery.fn.jquery;
if (reported !== wantedVersion || window.$ !== window.jQuery) {
    console.error(`check-jquery: ${file} reports jQuery ${reported}, wanted ${wantedVersion}`);
    process.exit(1);
}
// Two library functions the page script relies on, exercised without a DOM.
const parsed = window.jQuery.parseJSON('{"version":"1.2.3"}');
if (!parsed || parsed.version !== '1.2.3' || window.jQuery.parseJSON('null\n') !== null ||
    window.jQuery.param({ version: '1 2', type: 'ad' }) !== 'version=1+2&type=ad') {
    console.error(`check-jquery: ${file} misbehaves in parseJSON or param`);
    process.exit(1);
}
