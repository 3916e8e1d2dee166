// Script of the pinout pages of this folder: the functions the program calls, the view tabs,
// the zoom and the check boxes. tools/gen_pinout_pages.py checks that FN_SHORT, LEGIBLE_PX and
// PIN_TEXT_PX agree with its drawings.
'use strict';
var views = Array.prototype.slice.call(document.querySelectorAll('.view'));
var tabs = Array.prototype.slice.call(document.querySelectorAll('nav button'));
var boxes = Array.prototype.slice.call(document.querySelectorAll('aside input[type=checkbox]'));
var activeView = 0;
var pinLinks = Object.create(null);
var pinElements = null;
var FN_SHORT = 14;

function elementsOfPin(name) {
  if (!pinElements) {
    pinElements = Object.create(null);
    document.querySelectorAll('[data-pin]').forEach(function (el) {
      var pin = el.getAttribute('data-pin');
      (pinElements[pin] = pinElements[pin] || []).push(el);
    });
  }
  return pinElements[name] || [];
}

function isProgramLink(link) {
  return link.indexOf('tarq:') === 0 || link.indexOf('tarqna:') === 0;
}

function ShowView(n) {
  var text = String(n).trim();
  if (!/^[0-9]+$/.test(text)) return false;
  var index = parseInt(text, 10);
  if (index >= views.length) return false;
  views.forEach(function (view, i) { view.hidden = i !== index; });
  tabs.forEach(function (tab, i) {
    tab.classList.toggle('on', i === index);
    tab.setAttribute('aria-selected', i === index ? 'true' : 'false');
  });
  activeView = index;
  return true;
}

function GetActiveView() {
  return activeView;
}

function SetPinName(pinName, functionName, link) {
  if (document.readyState === 'loading') return false;
  var name = String(pinName);
  var text = functionName === undefined || functionName === null ? '' : String(functionName);
  var target = link === undefined || link === null ? '' : String(link);
  if (!isProgramLink(target)) target = '';
  pinLinks[name] = target;
  var shown = text.length > FN_SHORT ? text.slice(0, FN_SHORT - 1) + '\u2026' : text;
  var tip = text ? name + ': ' + text : name;
  elementsOfPin(name).forEach(function (el) {
    el.querySelectorAll('.fn').forEach(function (fn) {
      fn.textContent = fn.classList.contains('short') ? shown : text;
    });
    var title = el.querySelector('title');
    if (title) {
      var ball = el.getAttribute('data-ball');
      title.textContent = ball ? ball + ' ' + tip : tip;
    } else {
      el.title = tip;
    }
    el.classList.toggle('link', target !== '');
  });
  return true;
}

function GetGpioCheckboxes() {
  return boxes.map(function (box) { return box.name; }).join(',');
}

function SetGpioCheckbox(name, state) {
  var wanted = String(name);
  var box = boxes.filter(function (b) { return b.name === wanted; })[0];
  var value = String(state).trim();
  if (!box || (value !== '0' && value !== '1' && value !== '2')) return false;
  box.checked = value === '1';
  box.indeterminate = value === '2';
  return true;
}

function SetCpuName(name) {
  var text = String(name);
  document.querySelectorAll('.cpuname').forEach(function (el) { el.textContent = text; });
  document.title = text + ' pinout';
  return true;
}

function SetPreliminary(flag) {
  var value = String(flag).trim();
  if (value !== '0' && value !== '1') return false;
  document.getElementById('prelim').hidden = value !== '1';
  return true;
}

tabs.forEach(function (tab, i) {
  tab.addEventListener('click', function () { ShowView(String(i)); });
});

// The program decides what a box means for the pins and sends the new states back.
boxes.forEach(function (box) {
  box.addEventListener('click', function (event) {
    event.preventDefault();
    window.location.href = 'tarqna:PINOUT/PINOUT?' + box.name;
  });
});

document.addEventListener('click', function (event) {
  var el = event.target.closest ? event.target.closest('[data-pin]') : null;
  if (!el) return;
  var link = pinLinks[el.getAttribute('data-pin')];
  if (link && isProgramLink(link)) window.location.href = link;
});

// Zoom. "100 %" draws the package at its own size; "Fit" scales it to the room the drawing
// area has, but never so far down that pin texts get smaller than LEGIBLE_PX, nor further up
// than MAX_ZOOM. What does not fit scrolls, starting at the top-left corner.
var LEGIBLE_PX = 11;
var PIN_TEXT_PX = 12;
var MAX_ZOOM = 1.5;
var area = document.getElementById('views');
var zoomButtons = Array.prototype.slice.call(document.querySelectorAll('.zoom button'));
var zoomMode = 'fit';
var scrollBarWidth = (function () {
  var probe = document.createElement('div');
  probe.style.cssText = 'position:absolute;top:-200px;width:100px;height:100px;overflow:scroll';
  document.body.appendChild(probe);
  var width = probe.offsetWidth - probe.clientWidth;
  document.body.removeChild(probe);
  return width;
})();
try {
  if (window.localStorage.getItem('tarq.pinout.zoom') === '100') zoomMode = '100';
} catch (e) { /* no storage for this page: the default stays */ }

// The generated label room takes the longest function text beside every pin; the drawing
// keeps only what its texts take now, so that short texts leave no empty band around it.
function trimToContent(svg) {
  var box;
  try {
    box = svg.getBBox();
  } catch (e) {
    return;
  }
  if (!(box.width > 0 && box.height > 0)) return;  // not laid out, as in a hidden view
  var x = Math.floor(box.x - 8);
  var y = Math.floor(box.y - 8);
  var width = Math.ceil(box.x + box.width + 8) - x;
  var height = Math.ceil(box.y + box.height + 8) - y;
  svg.setAttribute('viewBox', x + ' ' + y + ' ' + width + ' ' + height);
  svg.setAttribute('width', width);
  svg.setAttribute('height', height);
}

function layoutView(view) {
  var svg = view ? view.querySelector('.stage svg') : null;
  if (!svg) return;
  trimToContent(svg);
  var naturalWidth = parseFloat(svg.getAttribute('width'));
  var naturalHeight = parseFloat(svg.getAttribute('height'));
  var scale = 1;
  if (zoomMode === 'fit') {
    var style = getComputedStyle(view);
    var note = view.querySelector('.note');
    var table = view.querySelector('.balls');
    var width = area.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight) -
        (table ? table.offsetWidth + 12 : 0);
    var height = area.clientHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom) -
        (note ? note.offsetHeight + 6 : 0);
    var least = LEGIBLE_PX / PIN_TEXT_PX;
    scale = Math.max(least, Math.min(MAX_ZOOM, width / naturalWidth, height / naturalHeight));
    // A drawing taller than the area gets a vertical scroll bar, which takes its width.
    if (naturalHeight * scale > height + 0.5 && area.scrollHeight <= area.clientHeight) {
      scale = Math.max(least, Math.min(scale, (width - scrollBarWidth) / naturalWidth));
    }
  }
  svg.style.width = naturalWidth * scale + 'px';
  svg.style.height = naturalHeight * scale + 'px';
  var balls = view.querySelector('.balls');
  if (balls) balls.style.maxHeight = Math.max(240, naturalHeight * scale) + 'px';
}

function layoutActiveView(toTopLeft) {
  layoutView(views[activeView]);
  if (toTopLeft) {
    area.scrollTop = 0;
    area.scrollLeft = 0;
  }
}

function setZoom(mode) {
  zoomMode = mode === '100' ? '100' : 'fit';
  zoomButtons.forEach(function (button) {
    var on = button.getAttribute('data-zoom') === zoomMode;
    button.classList.toggle('on', on);
    button.setAttribute('aria-pressed', on ? 'true' : 'false');
  });
  try {
    window.localStorage.setItem('tarq.pinout.zoom', zoomMode);
  } catch (e) { /* the choice lasts as long as the page */ }
  layoutActiveView(true);
}

zoomButtons.forEach(function (button) {
  button.addEventListener('click', function () { setZoom(button.getAttribute('data-zoom')); });
});
window.addEventListener('resize', function () { layoutActiveView(false); });
// A view that ShowView (or a tab) brings up gets its zoom and starts at its top-left corner.
new MutationObserver(function () { layoutActiveView(true); })
    .observe(area, {attributes: true, attributeFilter: ['hidden'], subtree: true});
// New function texts change what the drawing takes; many of them in a row cost one layout.
var layoutPending = false;
new MutationObserver(function () {
  if (layoutPending) return;
  layoutPending = true;
  window.requestAnimationFrame(function () {
    layoutPending = false;
    layoutActiveView(false);
  });
}).observe(area, {childList: true, characterData: true, subtree: true});
window.addEventListener('load', function () { layoutActiveView(false); });
if (document.fonts && document.fonts.ready) {
  document.fonts.ready.then(function () { layoutActiveView(false); });
}
setZoom(zoomMode);
