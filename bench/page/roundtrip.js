// Scenario round trips against the demo page (a benchmark, not a test):
//   build/dev/bin/pictavo-host --headless --module build/dev/lib/libpictavo.so host/pages/demo.html \
//       --drive bench/page/roundtrip.js
var pw = waitWindow("Pictavo 图片上传演示", 5000);
var c = control("pictavo");
var n = 1000;
var start = Date.now();
for (var i = 0; i < n; ++i)
    page("1");
var pageMs = (Date.now() - start) / n;
start = Date.now();
for (var i = 0; i < n; ++i)
    elements(c);
var treeMs = (Date.now() - start) / n;
log("page(\"1\"): " + pageMs.toFixed(3) + " ms; elements(control): " + treeMs.toFixed(3) + " ms (mean of " + n + ")");
