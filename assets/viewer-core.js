// Viewer core shared by the embed page and the live app: the layer list with
// its toggles and defaults, pan and zoom of a footprint SVG, and the zoom
// toolbar. It works on any SVG that carries the tovik-layer-* groups and
// publishes one global, window.AV.
(function () {
  'use strict';

  var LAYER_DEFS = [
    { key: 'copper', name: 'Copper', kind: 'group', sel: '.tovik-layer-copper', sw: '#C83434' },
    { key: 'heatsink', name: 'Heatsink vias', kind: 'group', sel: '.tovik-layer-heatsink', sw: '#e8a13a' },
    { key: 'padnum', name: 'Pad numbers', kind: 'group', sel: '.tovik-layer-padnum', sw: '#ffffff', ring: true },
    { key: 'silk', name: 'Silkscreen', kind: 'group', sel: '.tovik-layer-silk', sw: '#00cccc' },
    { key: 'fab', name: 'Fab (F.Fab)', kind: 'group', sel: '.tovik-layer-fab', sw: '#6e7681', ring: true },
    { key: 'courtyard', name: 'Courtyard', kind: 'group', sel: '.tovik-layer-courtyard', sw: '#FF26E2', ring: true },
    { key: 'drill', name: 'Drill', kind: 'group', sel: '.tovik-layer-drill', sw: '#888888', ring: true },
    { key: 'paste-ap', name: 'Paste apertures', kind: 'group', sel: '.tovik-layer-paste-apertures', sw: '#8aa0b8', ring: true },
    { key: 'paste-dots', name: 'Solder paste jet', kind: 'group', sel: '.tovik-layer-paste-dots', sw: '#37c8a6', special: true }
  ];

  var ICON_ZIN = '<svg viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"><circle cx="10.5" cy="10.5" r="6.5"/><path d="M20 20l-4.5-4.5M10.5 8v5M8 10.5h5"/></svg>';
  var ICON_ZOUT = '<svg viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"><circle cx="10.5" cy="10.5" r="6.5"/><path d="M20 20l-4.5-4.5M8 10.5h5"/></svg>';
  var ICON_FIT = '<svg viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"><circle cx="10.5" cy="10.5" r="6.5"/><path d="M20 20l-4.5-4.5"/><rect x="7.6" y="7.6" width="5.8" height="5.8" rx="1.2"/></svg>';

  // An empty group counts as an absent layer: only drawn elements make a row.
  var GEO_SELECTOR = 'path,rect,circle,line,polygon,polyline,text';
  var ZOOM_STEP = 1.2;
  // One wheel event moves the scale by at most exp(50 * 0.0022), so a coarse
  // mouse notch cannot jump while many small trackpad events zoom smoothly.
  var WHEEL_DELTA_LIMIT = 50;
  var WHEEL_RATE = 0.0022;
  var LINE_PIXELS = 16;

  function groupHasGeo(svg, def) {
    if (!svg) return false;
    var groups = svg.querySelectorAll(def.sel);
    for (var i = 0; i < groups.length; i++) {
      if (groups[i].querySelector(GEO_SELECTOR)) return true;
    }
    return false;
  }

  function layerPresent(svg, def) {
    return groupHasGeo(svg, def);
  }

  function applyLayer(svg, def, on) {
    if (!svg) return;
    var groups = svg.querySelectorAll(def.sel);
    for (var i = 0; i < groups.length; i++) groups[i].style.display = on ? '' : 'none';
  }

  // The special overlay is opt-in; every other layer is shown unless the
  // state says false.
  function initialOn(def, state) {
    return def.special ? state[def.key] === true : state[def.key] !== false;
  }

  function countText(def, meta) {
    if (def.key === 'paste-dots') return orZero(meta.pasteDots) + ' @ 300µm';
    if (def.key === 'paste-ap') return orZero(meta.pasteApertures) + ' openings';
    return '';
  }

  function orZero(n) {
    return n == null ? 0 : n;
  }

  function span(className, text) {
    var el = document.createElement('span');
    el.className = className;
    if (text) el.textContent = text;
    return el;
  }

  function layerRow(def, on, meta) {
    var row = document.createElement('div');
    row.className = 'av-lrow ' + (on ? 'on' : 'off') + (def.special ? ' special' : '');
    var sw = span(def.ring ? 'sw ring' : 'sw');
    sw.setAttribute('style', (def.ring ? 'border-color:' : 'background:') + def.sw);
    row.appendChild(sw);
    row.appendChild(span('ln', def.name));
    var count = countText(def, meta);
    if (count) row.appendChild(span('meta', count));
    row.appendChild(span('chk', on ? '✓' : ''));
    return row;
  }

  function buildLayers(opts) {
    var svg = opts.svg;
    var container = opts.container;
    var state = opts.state || {};
    var meta = opts.meta || {};
    var keys = [];
    container.innerHTML = '';
    LAYER_DEFS.forEach(function (def) {
      if (!def.special && !groupHasGeo(svg, def)) return;
      var on = initialOn(def, state);
      var row = layerRow(def, on, meta);
      row.addEventListener('click', function () {
        var value = !row.classList.contains('on');
        row.classList.replace(value ? 'off' : 'on', value ? 'on' : 'off');
        row.querySelector('.chk').textContent = value ? '✓' : '';
        state[def.key] = value;
        applyLayer(svg, def, value);
        if (opts.onToggle) opts.onToggle(def.key, value);
      });
      container.appendChild(row);
      applyLayer(svg, def, on);
      keys.push(def.key);
    });
    return keys;
  }

  // The footprint is the viewport's own SVG child; the toolbar icons are SVGs
  // too, but nested in buttons.
  function viewportSvg(vp) {
    return vp.querySelector(':scope > svg') || vp.querySelector('svg');
  }

  function initViewport(vp) {
    var s = 1;            // scale
    var tx = 0, ty = 0;   // translation in CSS pixels
    var dragging = false; // a pointer press is moving the view
    var lastX = 0, lastY = 0;

    var first = vp.querySelector('svg');
    if (first) {
      first.removeAttribute('width');
      first.removeAttribute('height');
    }

    function apply() {
      var svg = viewportSvg(vp);
      if (svg) svg.style.transform = 'translate(' + tx + 'px,' + ty + 'px) scale(' + s + ')';
    }

    // Keeps the content point under (cx, cy), in viewport pixels, in place.
    function zoomAt(cx, cy, f) {
      tx = cx - (cx - tx) * f;
      ty = cy - (cy - ty) * f;
      s = s * f;
      apply();
    }

    function fit() {
      s = 1;
      tx = 0;
      ty = 0;
      apply();
    }

    function zoomIn() {
      zoomAt(vp.clientWidth / 2, vp.clientHeight / 2, ZOOM_STEP);
    }

    function zoomOut() {
      zoomAt(vp.clientWidth / 2, vp.clientHeight / 2, 1 / ZOOM_STEP);
    }

    vp.addEventListener('wheel', function (e) {
      e.preventDefault();
      var delta = e.deltaY;
      if (e.deltaMode === 1) delta *= LINE_PIXELS;
      else if (e.deltaMode === 2) delta *= vp.clientHeight;
      delta = Math.max(-WHEEL_DELTA_LIMIT, Math.min(WHEEL_DELTA_LIMIT, delta));
      var r = vp.getBoundingClientRect();
      zoomAt(e.clientX - r.left, e.clientY - r.top, Math.exp(-delta * WHEEL_RATE));
    }, { passive: false });

    vp.addEventListener('pointerdown', function (e) {
      if (e.target.closest && e.target.closest('.av-tools')) return;
      dragging = true;
      lastX = e.clientX;
      lastY = e.clientY;
      vp.classList.add('grab');
      try { vp.setPointerCapture(e.pointerId); } catch (err) { /* pointer already gone */ }
    });

    vp.addEventListener('pointermove', function (e) {
      if (!dragging) return;
      tx += e.clientX - lastX;
      ty += e.clientY - lastY;
      lastX = e.clientX;
      lastY = e.clientY;
      apply();
    });

    function endDrag() {
      dragging = false;
      vp.classList.remove('grab');
    }
    vp.addEventListener('pointerup', endDrag);
    vp.addEventListener('pointercancel', endDrag);

    fit();
    return { fit: fit, zoomIn: zoomIn, zoomOut: zoomOut, apply: apply };
  }

  function toolButton(z, title, icon, action) {
    var b = document.createElement('button');
    b.type = 'button';
    b.setAttribute('data-z', z);
    b.title = title;
    b.innerHTML = icon;
    b.addEventListener('click', function () { action(); });
    return b;
  }

  function addToolbar(vp, ctl) {
    if (vp.querySelector('.av-tools')) return;
    var bar = document.createElement('div');
    bar.className = 'av-tools';
    bar.appendChild(toolButton('in', 'Zoom in', ICON_ZIN, ctl.zoomIn));
    bar.appendChild(toolButton('out', 'Zoom out', ICON_ZOUT, ctl.zoomOut));
    bar.appendChild(toolButton('fit', 'Zoom to fit', ICON_FIT, ctl.fit));
    vp.appendChild(bar);
    var hint = document.createElement('div');
    hint.className = 'av-panhint';
    hint.textContent = 'drag to pan · scroll to zoom';
    vp.appendChild(hint);
  }

  window.AV = {
    LAYER_DEFS: LAYER_DEFS,
    groupHasGeo: groupHasGeo,
    layerPresent: layerPresent,
    applyLayer: applyLayer,
    buildLayers: buildLayers,
    initViewport: initViewport,
    addToolbar: addToolbar,
    ICON_FIT: ICON_FIT,
    ICON_ZIN: ICON_ZIN,
    ICON_ZOUT: ICON_ZOUT
  };
})();
