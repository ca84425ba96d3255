<p>line one</p>
<p>line two</p>
<!-- #include file="inc/does-not-exist.inc" -->
