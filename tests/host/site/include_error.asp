<p>before the include</p>
<!-- #include file="inc/bad.inc" -->
