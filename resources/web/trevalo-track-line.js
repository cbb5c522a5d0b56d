// A track line of up to millions of points, drawn by a canvas renderer. Leaflet's polyline
// keeps an object for every point and projects all of them again at every zoom step; this
// line keeps the coordinates in typed arrays, and at each zoom level draws the points that
// level needs: the line simplified (radial distance, then Douglas-Peucker) to within a
// pixel of the track, made once per level and kept. Every point of the file stays in the
// line: a closer zoom draws more of them, the closest all that differ by a pixel.
var TrevaloTrackLine = (function () {
  'use strict';

  var TILE = 256;  // pixels of the whole world at zoom 0 (EPSG:3857, the map's projection)
  var TOLERANCE = 1;  // pixels
  var MAX_LATITUDE = 85.0511287798;  // where Leaflet's spherical Mercator stops

  // The points of a level: indices into the coordinates, the first and last always kept.
  function simplified(x, y, tolerance) {
    var count = x.length;
    if (count < 3) {
      return Uint32Array.from({ length: count }, function (unused, i) { return i; });
    }
    var squared = tolerance * tolerance;
    // Points within the tolerance of the last one kept add nothing at this level.
    var near = new Uint32Array(count);
    var kept = 0;
    near[kept++] = 0;
    for (var i = 1; i < count - 1; i += 1) {
      var dx = x[i] - x[near[kept - 1]];
      var dy = y[i] - y[near[kept - 1]];
      if (dx * dx + dy * dy > squared) {
        near[kept++] = i;
      }
    }
    near[kept++] = count - 1;
    // Douglas-Peucker over those, without recursion (a track may have millions).
    var marked = new Uint8Array(kept);
    marked[0] = 1;
    marked[kept - 1] = 1;
    var stack = [0, kept - 1];
    while (stack.length) {
      var last = stack.pop();
      var first = stack.pop();
      var ax = x[near[first]];
      var ay = y[near[first]];
      var bx = x[near[last]] - ax;
      var by = y[near[last]] - ay;
      var length = bx * bx + by * by;
      var farthest = -1;
      var most = squared;
      for (var k = first + 1; k < last; k += 1) {
        var px = x[near[k]] - ax;
        var py = y[near[k]] - ay;
        var t = length > 0 ? (px * bx + py * by) / length : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        var ex = px - t * bx;
        var ey = py - t * by;
        var distance = ex * ex + ey * ey;
        if (distance > most) {
          most = distance;
          farthest = k;
        }
      }
      if (farthest >= 0) {
        marked[farthest] = 1;
        stack.push(first, farthest, farthest, last);
      }
    }
    var result = [];
    for (var m = 0; m < kept; m += 1) {
      if (marked[m]) {
        result.push(near[m]);
      }
    }
    return Uint32Array.from(result);
  }

  var TrackLine = L.Polyline.extend({
    options: { smoothFactor: 0 },  // simplified here, per level

    // `lat`, `lng`: Float64Arrays of the points in decimal degrees.
    initialize: function (lat, lng, options) {
      L.Polyline.prototype.initialize.call(this, [], options);
      var count = lat.length;
      this._lat = lat;
      this._lng = lng;
      // Where each point lies in the world at zoom 0, in pixels (unrounded).
      this._x = new Float64Array(count);
      this._y = new Float64Array(count);
      var bounds = L.latLngBounds([]);
      var south = Infinity;
      var west = Infinity;
      var north = -Infinity;
      var east = -Infinity;
      for (var i = 0; i < count; i += 1) {
        var latitude = Math.max(Math.min(MAX_LATITUDE, lat[i]), -MAX_LATITUDE);
        var sin = Math.sin(latitude * Math.PI / 180);
        this._x[i] = TILE * (lng[i] / 360 + 0.5);
        this._y[i] = TILE * (0.5 - Math.log((1 + sin) / (1 - sin)) / (4 * Math.PI));
        south = Math.min(south, lat[i]);
        north = Math.max(north, lat[i]);
        west = Math.min(west, lng[i]);
        east = Math.max(east, lng[i]);
      }
      if (count) {
        bounds.extend([south, west]);
        bounds.extend([north, east]);
        this._latlngs = [L.latLng(lat[0], lng[0]), L.latLng(lat[count - 1], lng[count - 1])];
      }
      this._bounds = bounds;
      this._levels = {};
    },

    pointCount: function () { return this._lat.length; },

    // The point nearest to `at` on the screen at the map's zoom: {index, pixels}, or null
    // for a line without points.
    nearestPoint: function (map, at) {
      var zoom = map.getZoom();
      var scale = map.options.crs.scale(zoom) / TILE;
      var p = map.project(at, zoom);
      var best = -1;
      var least = Infinity;
      for (var i = 0; i < this._x.length; i += 1) {
        var dx = this._x[i] * scale - p.x;
        var dy = this._y[i] * scale - p.y;
        var squared = dx * dx + dy * dy;
        if (squared < least) {
          least = squared;
          best = i;
        }
      }
      return best < 0 ? null : { index: best, pixels: Math.sqrt(least) };
    },
    pointAt: function (index) { return L.latLng(this._lat[index], this._lng[index]); },

    // Every point of the line (made on demand: the line keeps none as objects).
    getLatLngs: function () {
      var all = new Array(this._lat.length);
      for (var i = 0; i < all.length; i += 1) {
        all[i] = L.latLng(this._lat[i], this._lng[i]);
      }
      return all;
    },

    // The indices of the points drawn at a zoom level.
    levelPoints: function (zoom) {
      var level = Math.max(0, Math.round(zoom));
      if (!this._levels[level]) {
        this._levels[level] = simplified(this._x, this._y, TOLERANCE / Math.pow(2, level));
      }
      return this._levels[level];
    },

    // As Leaflet's polyline projects its points (map.latLngToLayerPoint), for the level's
    // points only.
    _project: function () {
      var map = this._map;
      var zoom = map.getZoom();
      var points = this.levelPoints(zoom);
      var scale = map.options.crs.scale(zoom) / TILE;
      var origin = map.getPixelOrigin();
      var ring = new Array(points.length);
      var pxBounds = new L.Bounds();
      for (var i = 0; i < points.length; i += 1) {
        var p = new L.Point(Math.round(this._x[points[i]] * scale) - origin.x,
                            Math.round(this._y[points[i]] * scale) - origin.y);
        ring[i] = p;
        pxBounds.extend(p);
      }
      this._rings = points.length ? [ring] : [];
      var w = this._clickTolerance();
      var margin = new L.Point(w, w);
      if (this._bounds.isValid() && pxBounds.isValid()) {
        pxBounds.min._subtract(margin);
        pxBounds.max._add(margin);
        this._pxBounds = pxBounds;
      }
    }
  });

  return {
    line: function (lat, lng, options) { return new TrackLine(lat, lng, options); },
    simplified: simplified
  };
}());
